#include "io/Folder.h"

#include "base/Exception.h"
#include "io/Path.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"

namespace io {

bool exists(const std::string& path) {
    return platform::fileAttributes(path) != platform::kInvalidAttributes;
}

bool isDirectory(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::uint32_t attributes = platform::fileAttributes(path);
    return attributes != platform::kInvalidAttributes &&
           (attributes & platform::kAttributeDirectory) != 0;
}

void createFolder(const std::string& path) {
    if (platform::kDriveLetters && path.size() == 2 && path[1] == ':') {
        return;
    }
    if (isDirectory(path)) {
        return;
    }
    // A leading separator belongs to the root, not to a parent name.
    std::size_t last = path.rfind(platform::kSeparator);
    if (last != std::string::npos && last > 0) {
        createFolder(path.substr(0, last));
    }
    if (!platform::createDirectory(path)) {
        throw Exception("cannot create (directory) " + path);
    }
}

void createFolderOf(const std::string& path) {
    if (path.empty()) {
        return;
    }
    std::string folder = path;
    if (folder.back() == platform::kSeparator) {
        folder.pop_back();
    }
    createFolder(folder);
}

void createParentFolders(const std::string& path) {
    if (path.empty()) {
        return;
    }
    std::string folder = Path(path).directory();
    if (!isDirectory(folder)) {
        createFolderOf(folder);
    }
}

}  // namespace io
