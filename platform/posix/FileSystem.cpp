#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

#include "platform/Platform.h"

namespace platform {

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

int fd(FileHandle file) {
    return static_cast<int>(file);
}

// The Windows read-only attribute holds for every user, root included.
bool isReadOnly(const struct stat& st) {
    return (st.st_mode & kWriteBits) == 0;
}

}  // namespace

FileHandle openFile(const std::string& path, OpenMode mode) {
    if (path.empty()) {
        errno = ENOENT;
        return kNoFile;
    }
    if (mode == OpenMode::CreateNew) {
        // One call decides: no look beforehand that a rival could outrun, nothing replaced, no
        // link followed. The write bits of an existing file play no part: it is never opened.
        int result;
        do {
            result = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        } while (result < 0 && errno == EINTR);
        return result < 0 ? kNoFile : static_cast<FileHandle>(result);
    }
    struct stat st {};
    bool present = ::stat(path.c_str(), &st) == 0;
    bool folder = present && S_ISDIR(st.st_mode);
    int flags = O_CLOEXEC;
    switch (mode) {
        case OpenMode::Read:
            flags |= O_RDONLY;
            break;
        case OpenMode::ReadWrite:
            flags |= O_RDWR;
            break;
        case OpenMode::Create:
        case OpenMode::CreateNew:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        case OpenMode::QueryTimes:
        case OpenMode::ChangeTimes:
            // Times are changed through any descriptor of the owner, also of a folder or of a
            // read-only file, as a handle with backup semantics may.
            flags |= O_RDONLY;
            break;
    }
    bool timesOnly = mode == OpenMode::QueryTimes || mode == OpenMode::ChangeTimes;
    if (folder && !timesOnly) {
        return kNoFile;
    }
    bool writing = mode == OpenMode::ReadWrite || mode == OpenMode::Create;
    if (present && writing && isReadOnly(st)) {
        return kNoFile;
    }
    int result;
    do {
        result = ::open(path.c_str(), flags, 0666);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? kNoFile : static_cast<FileHandle>(result);
}

bool closeFile(FileHandle file) {
    if (file < 0) {
        return false;
    }
    return ::close(fd(file)) == 0;
}

// Like ReadFile on a disk file: delivers the whole length unless the file ends first.
bool readFile(FileHandle file, void* buffer, std::uint32_t length, std::uint32_t& done) {
    done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < length) {
        ssize_t n = ::read(fd(file), bytes + done, length - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::uint32_t>(n);
    }
    return true;
}

bool readFileAt(FileHandle file, std::uint64_t offset, void* buffer, std::uint32_t length,
                std::uint32_t& done) {
    done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < length) {
        ssize_t n =
            ::pread(fd(file), bytes + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::uint32_t>(n);
    }
    return true;
}

bool writeFile(FileHandle file, const void* buffer, std::uint32_t length, std::uint32_t& done) {
    done = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < length) {
        ssize_t n = ::write(fd(file), bytes + done, length - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::uint32_t>(n);
    }
    return true;
}

bool filePosition(FileHandle file, std::uint64_t& position) {
    off_t at = ::lseek(fd(file), 0, SEEK_CUR);
    if (at < 0) {
        return false;
    }
    position = static_cast<std::uint64_t>(at);
    return true;
}

bool setFilePosition(FileHandle file, std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(INT64_MAX)) {
        return false;
    }
    return ::lseek(fd(file), static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool fileSize(FileHandle file, std::uint64_t& size) {
    struct stat st {};
    if (::fstat(fd(file), &st) != 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool setEndOfFile(FileHandle file) {
    off_t at = ::lseek(fd(file), 0, SEEK_CUR);
    return at >= 0 && ::ftruncate(fd(file), at) == 0;
}

// DeleteFileA removes files only, and never a read-only one.
bool deleteFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    if (!S_ISLNK(st.st_mode) && isReadOnly(st)) {
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

std::uint32_t fileAttributes(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return kInvalidAttributes;
    }
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) {
        attributes |= kAttributeDirectory;
    }
    if (isReadOnly(st)) {
        attributes |= kAttributeReadOnly;
    }
    return attributes == 0 ? kAttributeNormal : attributes;
}

// Only the read-only bit has a counterpart. Clearing it gives the owner write permission back.
bool setFileAttributes(const std::string& path, std::uint32_t attributes) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    bool readOnly = (attributes & kAttributeReadOnly) != 0;
    if (readOnly == isReadOnly(st)) {
        return true;
    }
    mode = readOnly ? (mode & ~kWriteBits) : (mode | S_IWUSR);
    return ::chmod(path.c_str(), mode) == 0;
}

bool createDirectory(const std::string& path) {
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool makeDirectory(const std::string& path, bool& created) {
    created = false;
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    if (::mkdir(path.c_str(), 0777) == 0) {
        created = true;
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    // Taken: only a real folder will do, never a link to one.
    const int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        errno = EEXIST;
        return false;
    }
    ::close(folder);
    return true;
}

bool freeSpace(const std::string& folder, std::uint64_t& bytes) {
    struct statvfs fs {};
    if (folder.empty() || ::statvfs(folder.c_str(), &fs) != 0) {
        return false;
    }
    bytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
    return true;
}

bool nameWasTaken() {
    return errno == EEXIST;
}

std::string lastFailureText() {
    return std::strerror(errno);
}

bool fullPathName(const std::string& path, std::string& absolute) {
    if (path.empty()) {
        return false;
    }
    std::string whole;
    if (path[0] != '/') {
        std::vector<char> buffer(kMaxPath);
        if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
            return false;
        }
        whole = buffer.data();
        whole += '/';
    }
    whole += path;

    // Textual clean-up: "." goes, ".." takes the previous name with it, never above the root.
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= whole.size()) {
        std::size_t end = whole.find('/', start);
        if (end == std::string::npos) {
            end = whole.size();
        }
        std::string name = whole.substr(start, end - start);
        if (name == "..") {
            if (!names.empty()) {
                names.pop_back();
            }
        } else if (!name.empty() && name != ".") {
            names.push_back(name);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& name : names) {
        result += '/';
        result += name;
    }
    // A trailing separator stays, as a folder name given with one keeps it.
    bool trailing = path.back() == '/';
    if (result.empty() || trailing) {
        result += '/';
    }
    if (result.size() >= kMaxPath) {
        return false;
    }
    absolute = result;
    return true;
}

namespace {

// Read once: umask can only be read by setting it, twice a call otherwise.
mode_t processUmask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

}  // namespace

bool setUnixPermissions(const std::string& path, std::uint32_t mode) {
    return ::chmod(path.c_str(), static_cast<mode_t>(mode & 0777) & ~processUmask()) == 0;
}

bool setUnixPermissionsOf(FileHandle file, std::uint32_t mode) {
    return ::fchmod(fd(file), static_cast<mode_t>(mode & 0777) & ~processUmask()) == 0;
}

bool newFileHasUnixPermissions(std::uint32_t mode) {
    const mode_t mask = processUmask();
    return (static_cast<mode_t>(mode & 0777) & ~mask) == (static_cast<mode_t>(0666) & ~mask);
}

}  // namespace platform
