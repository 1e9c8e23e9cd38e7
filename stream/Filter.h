// Forwarding filters: wrap another stream (not owned) and pass every operation on unchanged.
// Wrappers derive from them and override only what they change.
#pragma once

#include "stream/Stream.h"

namespace stream {

class InputFilter : public InputStream {
public:
    explicit InputFilter(InputStream& next) : next_(next) {}

    std::uint32_t read(void* buffer, std::uint32_t length) override {
        return next_.read(buffer, length);
    }
    int get() override { return next_.get(); }
    std::uint64_t skip(std::uint64_t count) override { return next_.skip(count); }
    std::uint64_t copy(OutputStream& output, std::uint64_t count) override {
        return next_.copy(output, count);
    }
    std::uint64_t tell() override { return next_.tell(); }
    std::uint64_t size() override { return next_.size(); }
    void close() override { next_.close(); }

protected:
    InputStream& next() { return next_; }

private:
    InputStream& next_;
};

class OutputFilter : public OutputStream {
public:
    explicit OutputFilter(OutputStream& next) : next_(next) {}

    void write(const void* buffer, std::uint32_t length) override { next_.write(buffer, length); }
    void put(std::uint8_t byte) override { next_.put(byte); }
    void fill(std::uint64_t count, std::uint8_t byte) override { next_.fill(count, byte); }
    std::uint64_t copyFrom(InputStream& input, std::uint64_t count) override {
        return next_.copyFrom(input, count);
    }
    std::uint64_t tell() override { return next_.tell(); }
    std::uint64_t size() override { return next_.size(); }
    void resize(std::uint64_t newSize) override { next_.resize(newSize); }
    void flush() override { next_.flush(); }
    void close() override { next_.close(); }

protected:
    OutputStream& next() { return next_; }

private:
    OutputStream& next_;
};

}  // namespace stream
