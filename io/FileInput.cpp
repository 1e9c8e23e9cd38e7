// Built into the io library with the file classes: the stream library lies below them.
#include "io/FileInput.h"

#include "base/Exception.h"

namespace stream {

FileInput::FileInput(const std::string& path) : file_(path) {
    file_.open();
    isOpen_ = true;
    ownsFile_ = true;
}

FileInput::FileInput(platform::FileHandle handle, const std::string& path)
    : file_(handle, path), isOpen_(true), ownsFile_(false) {}

FileInput::~FileInput() {
    if (ownsFile_) {
        try {
            close();
        } catch (const generic::exception&) {
            // Nothing more can be done about a file that will not close while being destroyed.
        }
    }
}

void FileInput::open(const std::string& path) {
    file_.open(path);
    isOpen_ = true;
    ownsFile_ = true;
}

int FileInput::get() {
    std::uint8_t byte = 0;
    return read(&byte, 1) == 1 ? byte : -1;
}

std::uint32_t FileInput::read(void* buffer, std::uint32_t length) {
    if (end_ != ALL) {
        const std::uint64_t position = file_.tell();
        const std::uint64_t left = position < end_ ? end_ - position : 0;
        if (length > left) {
            length = static_cast<std::uint32_t>(left);
        }
    }
    if (buffer == nullptr || length == 0) {
        return 0;
    }
    return file_.read(buffer, length);
}

std::uint32_t FileInput::readAt(std::uint64_t position, void* buffer, std::uint32_t length) {
    if (end_ != ALL) {
        const std::uint64_t left = position < end_ ? end_ - position : 0;
        if (length > left) {
            length = static_cast<std::uint32_t>(left);
        }
    }
    if (buffer == nullptr || length == 0) {
        return 0;
    }
    return file_.readAt(position, buffer, length);
}

std::uint64_t FileInput::tell() {
    return file_.tell();
}
std::uint64_t FileInput::size() {
    const std::uint64_t whole = file_.size();
    return whole < end_ ? whole : end_;
}
void FileInput::seek(std::uint64_t position) {
    file_.seek(position);
}

void FileInput::close() {
    if (ownsFile_) {
        file_.close();
        isOpen_ = false;
        ownsFile_ = false;
    }
}

}  // namespace stream
