// Reads another input through a buffer of fixed capacity, so that byte-at-a-time readers (record
// parsers, decompressors) cost a compare and an array access per byte instead of a call into the
// file layer.
//
// It wraps the input without owning it and offers every input operation itself. It is a
// RandomInput so that the Zip reader can position it: seek() to a position among the buffered
// bytes (after a first seek) only moves within the buffer; any other drops them and seeks the
// wrapped stream, which must then be a RandomInput too (otherwise seek() throws), and which no
// one else may move meanwhile. Until the first seek, tell() counts the bytes consumed through this
// wrapper from 0; after a seek it is the absolute position in the wrapped stream.
//
// Decoders may read straight from the buffer: current() points at the next unread byte,
// available() says how many follow it, advance(n) consumes n of them and fill() fetches more.
// tell() counts bytes consumed that way like any other.
#pragma once

#include <cstdint>
#include <memory>

#include "stream/Stream.h"

namespace stream {

class BufferedInput : public RandomInput {
  public:
    // Throws stream::Exception for a capacity of 0.
    BufferedInput(InputStream& next, std::uint32_t capacity);
    BufferedInput(const BufferedInput&) = delete;
    BufferedInput& operator=(const BufferedInput&) = delete;

    int get() override {
        if (index_ < count_) {
            return buffer_[index_++];
        }
        return getSlow();
    }
    // Inputs of at least the capacity go straight to the wrapped stream when nothing is waiting;
    // otherwise the buffer is refilled at most once. The wrapped stream is called at most once,
    // so a read may come back short before the end of data; only 0 means the end.
    std::uint32_t read(void* buffer, std::uint32_t length) override;
    std::uint64_t skip(std::uint64_t count) override;
    std::uint64_t copy(OutputStream& output, std::uint64_t count) override;
    std::uint64_t tell() override { return base_ + index_; }
    std::uint64_t size() override;
    void close() override;
    void seek(std::uint64_t position) override;

    // Keeps the unread bytes, moves them to the front and reads the wrapped stream once for the
    // free room.
    virtual void refill();

    // Direct access for decoders.
    const std::uint8_t* current() const { return buffer_.get() + index_; }
    std::uint32_t available() const { return count_ - index_; }
    // n must not exceed available().
    void advance(std::uint32_t n) { index_ += n; }
    // Refills; whether any unread byte is there afterwards.
    bool fill() {
        refill();
        return available() > 0;
    }
    std::uint32_t capacity() const { return capacity_; }

  protected:
    InputStream& next() { return next_; }

  private:
    int getSlow();

    InputStream& next_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint32_t capacity_;
    std::uint32_t count_ = 0;
    std::uint32_t index_ = 0;
    // Bytes consumed through this wrapper before the buffer's first byte.
    std::uint64_t base_ = 0;
    // Whether base_ is a position in the wrapped stream (after a seek), not a count from 0.
    bool absolute_ = false;
};

}  // namespace stream
