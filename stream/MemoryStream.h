// Streams over bytes in memory: the host tool's tests and in-memory checks read and write
// archives through them exactly as through files.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "stream/Stream.h"

namespace stream {

// Reads a copy of the given bytes; seekable, with a known size.
class MemoryInput : public RandomInput {
public:
    MemoryInput() = default;
    explicit MemoryInput(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
    explicit MemoryInput(const std::string& data) : data_(data.begin(), data.end()) {}

    std::uint32_t read(void* buffer, std::uint32_t length) override {
        if (buffer == nullptr || position_ >= data_.size()) {
            return 0;
        }
        std::uint64_t left = data_.size() - position_;
        std::uint32_t n = left < length ? static_cast<std::uint32_t>(left) : length;
        std::memcpy(buffer, data_.data() + position_, n);
        position_ += n;
        return n;
    }
    int get() override { return position_ < data_.size() ? data_[position_++] : -1; }
    std::uint64_t tell() override { return position_; }
    std::uint64_t size() override { return data_.size(); }
    void seek(std::uint64_t position) override { position_ = position; }

    const std::vector<std::uint8_t>& data() const { return data_; }

private:
    std::vector<std::uint8_t> data_;
    std::uint64_t position_ = 0;
};

// Collects everything written; tell() is the number of bytes written.
class MemoryOutput : public OutputStream {
public:
    void write(const void* buffer, std::uint32_t length) override {
        if (buffer == nullptr) {
            return;
        }
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        data_.insert(data_.end(), bytes, bytes + length);
    }
    void put(std::uint8_t byte) override { data_.push_back(byte); }
    std::uint64_t tell() override { return data_.size(); }

    const std::vector<std::uint8_t>& data() const { return data_; }
    std::string text() const { return std::string(data_.begin(), data_.end()); }

private:
    std::vector<std::uint8_t> data_;
};

}  // namespace stream
