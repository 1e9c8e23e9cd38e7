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
}

void FileOutput::write(const void* buffer, std::uint32_t length) {
    file_.write(buffer, length);
}

void FileOutput::write(const std::string& text) {
    file_.write(text.data(), static_cast<std::uint32_t>(text.size()));
}

std::uint64_t FileOutput::tell() {
    return file_.tell();
}

void FileOutput::resize(std::uint64_t newSize) {
    file_.resize(newSize);
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
}

void FileOutput::openRW(const std::string& path) {
    file_.openRW(path);
    isOpen_ = true;
    ownsFile_ = true;
}

void FileOutput::createNew(const std::string& path) {
    file_.createNew(path);
    isOpen_ = true;
    ownsFile_ = true;
}

void FileOutput::create(const std::string& path) {
    file_.create(path);
    isOpen_ = true;
    ownsFile_ = true;
}

}  // namespace stream
