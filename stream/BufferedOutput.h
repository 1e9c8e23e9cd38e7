// Collects the bytes written to it in a buffer of fixed capacity and hands them to another output
// (not owned) in large blocks, so that byte-at-a-time writers cost a compare and an array access
// per byte. Blocks of at least the capacity go straight through after the waiting bytes.
//
// Destruction flushes and swallows a failure: whoever needs to see a write failure calls flush()
// first.
//
// Encoders may write straight into the buffer: space(room) gives the free room (flushing first
// when there is none, so room is at least 1) and commit(n) accepts n bytes written there.
#pragma once

#include <cstdint>
#include <memory>

#include "stream/Filter.h"

namespace stream {

class BufferedOutput : public OutputFilter {
  public:
    // Throws stream::Exception for a capacity of 0.
    BufferedOutput(OutputStream& next, std::uint32_t capacity);
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;
    ~BufferedOutput() override;

    void put(std::uint8_t byte) override {
        if (count_ == capacity_) {
            flushBuffer();
        }
        buffer_[count_++] = byte;
        ++position_;
    }
    void write(const void* buffer, std::uint32_t length) override;
    void fill(std::uint64_t count, std::uint8_t byte) override;
    // Bytes copied in go through the buffer like written ones, keeping their order.
    std::uint64_t copyFrom(InputStream& input, std::uint64_t count) override;
    void flush() override;
    // The bytes written through this wrapper, counted from the wrapped stream's position at
    // construction. size() and resize() go to the wrapped stream unchanged.
    std::uint64_t tell() override { return position_; }
    void close() override {}

    // Writes the waiting bytes to the wrapped stream with one write.
    virtual void flushBuffer();

    std::uint8_t* space(std::uint32_t& room) {
        if (count_ == capacity_) {
            flushBuffer();
        }
        room = capacity_ - count_;
        return buffer_.get() + count_;
    }
    // n must not exceed the room that space() gave.
    void commit(std::uint32_t n) {
        count_ += n;
        position_ += n;
    }
    std::uint32_t capacity() const { return capacity_; }

  private:
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint32_t capacity_;
    std::uint32_t count_ = 0;
    std::uint64_t position_;
};

}  // namespace stream
