#ifndef _FILE_OFFSET_BITS
// Files of 2 GiB and more open, and report their size, where off_t would be 32 bits wide.
#define _FILE_OFFSET_BITS 64
#endif
#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool MappedFile::open(const std::string& path) {
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    file_ = fd;
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    // Like a Windows mapping, an empty file (or anything that is not a regular file) cannot be
    // mapped.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        close();
        return false;
    }
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t length = fileSize < kViewLimit ? fileSize : kViewLimit;
    void* view = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) {
        close();
        return false;
    }
    mapping_ = 1;
    view_ = static_cast<const std::uint8_t*>(view);
    size_ = length;
    fileSize_ = fileSize;
    sizeLow_ = static_cast<std::uint32_t>(fileSize);
    return true;
}

void MappedFile::close() {
    if (view_ != nullptr) {
        ::munmap(const_cast<std::uint8_t*>(view_), static_cast<std::size_t>(size_));
        view_ = nullptr;
    }
    mapping_ = 0;
    if (file_ >= 0) {
        ::close(static_cast<int>(file_));
        file_ = -1;
    }
    sizeLow_ = 0;
    size_ = 0;
    fileSize_ = 0;
}

}  // namespace platform
