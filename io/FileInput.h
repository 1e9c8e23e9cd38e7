// Reads a file as a positionable input stream. Built from a path, the stream opens the file and
// closes it again; built on a handle that someone else opened, it never closes that handle.
#pragma once

#include <cstdint>
#include <string>

#include "io/RandomFile.h"
#include "stream/Stream.h"

namespace stream {

class FileInput : public RandomInput {
  public:
    // Not open until open() is called.
    FileInput() = default;
    // Opens the file for reading; throws io::InputException when it cannot.
    explicit FileInput(const std::string& path);
    // Reads through a handle it does not own.
    FileInput(platform::FileHandle handle, const std::string& path);
    FileInput(const FileInput&) = delete;
    FileInput& operator=(const FileInput&) = delete;
    // Closes an owned file; a failure to close is ignored here.
    ~FileInput() override;

    virtual void open(const std::string& path);

    // -1 at the end of the file.
    int get() override;
    std::uint32_t read(void* buffer, std::uint32_t length) override;
    std::uint64_t tell() override;
    std::uint64_t size() override;
    void seek(std::uint64_t position) override;
    bool readsAt() override { return isOpen_; }
    // Honours limitTo like read.
    std::uint32_t readAt(std::uint64_t position, void* buffer, std::uint32_t length) override;
    // Closes the file only when this stream owns it.
    void close() override;

    // Makes the stream end at `end` (when the file is longer): reads stop there and size()
    // reports it, so a search from the end of the input starts there. ALL lifts the limit.
    void limitTo(std::uint64_t end) { end_ = end; }

    bool isOpen() const { return isOpen_; }
    io::random::File& file() { return file_; }

  private:
    io::random::File file_;
    bool isOpen_ = false;
    bool ownsFile_ = false;
    std::uint64_t end_ = ALL;
};

}  // namespace stream
