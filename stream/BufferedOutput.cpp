#include "stream/BufferedOutput.h"

#include <cstring>

#include "base/Exception.h"

namespace stream {

BufferedOutput::BufferedOutput(OutputStream& next, std::uint32_t capacity)
    : OutputFilter(next), capacity_(capacity) {
    if (capacity == 0) {
        throw Exception("zero buffer size in stream::BufferedOutput");
    }
    buffer_.reset(new std::uint8_t[capacity]);
    position_ = next.tell();
}

BufferedOutput::~BufferedOutput() {
    try {
        flush();
    } catch (...) {
        // Destruction must not throw; callers that care flush first.
    }
}

void BufferedOutput::flushBuffer() {
    if (count_ != 0) {
        next().write(buffer_.get(), count_);
        count_ = 0;
    }
}

void BufferedOutput::write(const void* buffer, std::uint32_t length) {
    if (buffer == nullptr) {
        return;
    }
    if (length >= capacity_) {
        flushBuffer();
        next().write(buffer, length);
    } else {
        if (capacity_ - count_ < length) {
            flushBuffer();
        }
        std::memcpy(buffer_.get() + count_, buffer, length);
        count_ += length;
    }
    position_ += length;
}

// Same bytes as put() repeated, a buffer at a time.
void BufferedOutput::fill(std::uint64_t count, std::uint8_t byte) {
    while (count > 0) {
        std::uint32_t room;
        std::uint8_t* to = space(room);
        std::uint32_t n = count < room ? static_cast<std::uint32_t>(count) : room;
        std::memset(to, byte, n);
        commit(n);
        count -= n;
    }
}

std::uint64_t BufferedOutput::copyFrom(InputStream& input, std::uint64_t count) {
    return CopyTarget::copyFrom(input, count);
}

void BufferedOutput::flush() {
    flushBuffer();
    next().flush();
}

}  // namespace stream
