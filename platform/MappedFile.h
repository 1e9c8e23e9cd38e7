// A read-only view of a whole file, for scanning the program's own executable without reading it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() { close(); }

    // Opens the file for reading and maps all of it. False when any step fails (an empty file
    // cannot be mapped); whatever was opened is released again.
    bool open(const std::string& path);
    // Unmaps the view, then closes the mapping and the file, in that order.
    void close();

    const std::uint8_t* data() const { return view_; }
    // The low 32 bits of the file size, as the system reports them.
    std::uint32_t sizeLow() const { return sizeLow_; }
    // The whole size of the mapped view in bytes.
    std::uint64_t size() const { return size_; }

private:
    std::intptr_t file_ = -1;
    std::intptr_t mapping_ = 0;
    const std::uint8_t* view_ = nullptr;
    std::uint32_t sizeLow_ = 0;
    std::uint64_t size_ = 0;
};

}  // namespace platform
