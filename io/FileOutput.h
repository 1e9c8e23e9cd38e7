// Writes a file as an output stream: each extracted file is written through one. Every write
// goes straight to the file, so flush() has nothing to do. tell() is kept here rather than asked
// of the system: every file is opened at its start and moves only by the writes made here.
#pragma once

#include <cstdint>
#include <string>

#include "io/File.h"
#include "stream/Stream.h"

namespace stream {

class FileOutput : public OutputStream {
  public:
    FileOutput() = default;
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;
    // Closes an owned file, ignoring a failure; call close() first to see one.
    ~FileOutput() override;

    void put(std::uint8_t byte) override;
    void write(const void* buffer, std::uint32_t length) override;
    std::uint64_t tell() override;
    // Grows the file with 0xBC bytes; a size below the position throws.
    void resize(std::uint64_t newSize) override;
    void flush() override {}
    // Closes the file only when this stream owns it.
    void close() override;

    virtual void open(const std::string& path);
    virtual void openRW(const std::string& path);
    // Replaces an existing file of that name.
    virtual void create(const std::string& path);
    // Creates a new file, never replacing or following anything (io::File::createNew).
    void createNew(const std::string& path);
    // The characters of the text, without a terminating zero.
    virtual void write(const std::string& text);

    bool isOpen() const { return isOpen_; }
    io::File& file() { return file_; }

  private:
    io::File file_;
    bool isOpen_ = false;
    bool ownsFile_ = false;
    std::uint64_t position_ = 0;
};

}  // namespace stream
