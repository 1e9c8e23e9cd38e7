// Built into the io library with the file classes: the stream library lies below them.
#include "io/FileOutput.h"

#include "base/Exception.h"

namespace stream {

FileOutput::~FileOutput() {
    try {
        flush();
        if (ownsFile_) {
            file_.close();
        }
    } catch (const generic::exception&) {
        // Destruction must not throw; a caller that cares has closed the file already.
    }
}

void FileOutput::put(std::uint8_t byte) {
    file_.write(&byte, 1);
    position_ += 1;
}

void FileOutput::write(const void* buffer, std::uint32_t length) {
    file_.write(buffer, length);
    position_ += buffer == nullptr ? 0 : length;
}

void FileOutput::write(const std::string& text) {
    write(text.data(), static_cast<std::uint32_t>(text.size()));
}

std::uint64_t FileOutput::tell() {
    return position_;
}

void FileOutput::resize(std::uint64_t newSize) {
    file_.resize(newSize);
    if (file_.isOpen() && newSize > position_) {
        position_ = newSize;
    }
}

void FileOutput::close() {
    if (ownsFile_) {
        file_.close();
        isOpen_ = false;
        ownsFile_ = false;
    }
}

void FileOutput::open(const std::string& path) {
    file_.open(path);
    isOpen_ = true;
    ownsFile_ = true;
    position_ = 0;
}

void FileOutput::openRW(const std::string& path) {
    file_.openRW(path);
    isOpen_ = true;
    ownsFile_ = true;
    position_ = 0;
}

void FileOutput::createNew(const std::string& path) {
    file_.createNew(path);
    isOpen_ = true;
    ownsFile_ = true;
    position_ = 0;
}

void FileOutput::create(const std::string& path) {
    file_.create(path);
    isOpen_ = true;
    ownsFile_ = true;
    position_ = 0;
}

}  // namespace stream
