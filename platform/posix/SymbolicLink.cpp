#include "platform/FileSystem.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool createSymbolicLink(const std::string& target, const std::string& path) {
    if (target.find('\0') != std::string::npos) {
        errno = EINVAL;
        return false;
    }
    return ::symlink(target.c_str(), path.c_str()) == 0;
}

bool isSymbolicLink(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool isRealFolder(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace platform
