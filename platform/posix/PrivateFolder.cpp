#include "platform/PrivateFolder.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <vector>

#include "platform/Process.h"

namespace platform {

namespace {

// nftw takes no user data; runs are single-threaded.
bool treeIntact = true;

int removeOne(const char* path, const struct stat*, int, struct FTW*) {
    if (::remove(path) != 0) {
        treeIntact = false;
    }
    return 0;  // go on: as much as possible goes
}

}  // namespace

std::string makePrivateTemporaryFolder() {
    std::string parent = temporaryFolder();
    while (parent.size() > 1 && parent.back() == '/') {
        parent.pop_back();
    }
    std::string pattern = (parent == "/" ? std::string() : parent) + "/zipsfx-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkdtemp makes the folder with mode 0700, whatever the umask allows beyond it.
    if (::mkdtemp(name.data()) == nullptr) {
        return std::string();
    }
    return std::string(name.data());
}

bool removeTree(const std::string& path) {
    treeIntact = true;
    // Depth first, so that a folder is emptied before it goes; links are not followed.
    ::nftw(path.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
    struct stat st;
    return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

void pauseMilliseconds(unsigned milliseconds) {
    struct timespec wanted = {static_cast<time_t>(milliseconds / 1000),
                              static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&wanted, &wanted) != 0 && errno == EINTR) {
    }
}

}  // namespace platform
