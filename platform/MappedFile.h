// A read-only view of the start of a file (all of it, up to kViewLimit bytes), for scanning the
// program's own executable without reading it.
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

    // At most this much of a file is mapped: what is searched lies near its start, and a whole
    // self-extracting file of several GiB would not fit into a 32-bit address space.
    static constexpr std::uint64_t kViewLimit = std::uint64_t(64) << 20;

    // Opens the file for reading and maps its first min(file size, kViewLimit) bytes. False
    // when any step fails (an empty file cannot be mapped); whatever was opened is released again.
    bool open(const std::string& path);
    // Unmaps the view, then closes the mapping and the file, in that order.
    void close();

    const std::uint8_t* data() const { return view_; }
    // The low 32 bits of the file size, as the system reports them.
    std::uint32_t sizeLow() const { return sizeLow_; }
    // The size of the mapped view in bytes: the file's size, or kViewLimit for a larger file.
    std::uint64_t size() const { return size_; }
    // The whole size of the file in bytes.
    std::uint64_t fileSize() const { return fileSize_; }

  private:
    std::intptr_t file_ = -1;
    std::intptr_t mapping_ = 0;
    const std::uint8_t* view_ = nullptr;
    std::uint32_t sizeLow_ = 0;
    std::uint64_t size_ = 0;
    std::uint64_t fileSize_ = 0;
};

}  // namespace platform
