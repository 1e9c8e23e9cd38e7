// Streams that record how they are called, for the stream and algorithm tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "stream/Stream.h"

namespace teststreams {

// A non-seekable input over given bytes that counts the calls made on it. A chunk limit makes
// every read return at most that many bytes (0: no limit); sizeKnown decides what size() says.
class CountingInput : public stream::InputStream {
  public:
    explicit CountingInput(std::vector<std::uint8_t> data, std::uint32_t chunk = 0,
                           bool sizeKnown = true)
        : data_(std::move(data)), chunk_(chunk), sizeKnown_(sizeKnown) {}

    std::uint32_t read(void* buffer, std::uint32_t length) override {
        ++reads;
        readLengths.push_back(length);
        std::uint64_t left = data_.size() - position_;
        std::uint64_t n = left < length ? left : length;
        if (chunk_ != 0 && n > chunk_) {
            n = chunk_;
        }
        if (n > 0) {
            std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
        }
        position_ += n;
        return static_cast<std::uint32_t>(n);
    }
    int get() override {
        ++gets;
        return position_ < data_.size() ? data_[position_++] : -1;
    }
    std::uint64_t tell() override { return position_; }
    std::uint64_t size() override { return sizeKnown_ ? data_.size() : stream::ALL; }
    void close() override { ++closes; }

    int reads = 0;
    int gets = 0;
    int closes = 0;
    std::vector<std::uint32_t> readLengths;

  private:
    std::vector<std::uint8_t> data_;
    std::uint32_t chunk_;
    bool sizeKnown_;
    std::uint64_t position_ = 0;
};

// An output that keeps the bytes and a log of the calls: "w<n>" for write, "p" for put, "f" for
// flush. It starts at a given position so that wrappers reading tell() can be checked.
class RecordingOutput : public stream::OutputStream {
  public:
    explicit RecordingOutput(std::uint64_t start = 0) : start_(start) {}

    void write(const void* buffer, std::uint32_t length) override {
        calls.push_back("w" + std::to_string(length));
        if (failWrites) {
            throw io::OutputException("cannot write");
        }
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        data.insert(data.end(), bytes, bytes + length);
    }
    void put(std::uint8_t byte) override {
        calls.push_back("p");
        data.push_back(byte);
    }
    void flush() override { calls.push_back("f"); }
    std::uint64_t tell() override { return start_ + data.size(); }

    std::vector<std::uint8_t> data;
    std::vector<std::string> calls;
    bool failWrites = false;

  private:
    std::uint64_t start_;
};

// Bytes 0, 1, 2, ... 255, 0, 1, ... mixed so that a misplaced block shows.
inline std::vector<std::uint8_t> pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = 0x12345;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        v[i] = static_cast<std::uint8_t>((x >> 16) ^ i);
    }
    return v;
}

}  // namespace teststreams
