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
    void* view =
        ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) {
        close();
        return false;
    }
    mapping_ = 1;
    view_ = static_cast<const std::uint8_t*>(view);
    size_ = static_cast<std::uint64_t>(st.st_size);
    sizeLow_ = static_cast<std::uint32_t>(size_);
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
}

}  // namespace platform
