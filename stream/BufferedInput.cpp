#include "stream/BufferedInput.h"

#include <cstring>

#include "base/Exception.h"

namespace stream {

BufferedInput::BufferedInput(InputStream& next, std::uint32_t capacity)
    : next_(next), capacity_(capacity) {
    if (capacity == 0) {
        throw Exception("zero buffer size in stream::BufferedInput");
    }
    buffer_.reset(new std::uint8_t[capacity]);
}

void BufferedInput::refill() {
    std::uint32_t unread = count_ - index_;
    if (index_ > 0 && unread > 0) {
        std::memmove(buffer_.get(), buffer_.get() + index_, unread);
    }
    base_ += index_;
    count_ = unread;
    index_ = 0;
    count_ += next_.read(buffer_.get() + count_, capacity_ - count_);
}

int BufferedInput::getSlow() {
    refill();
    if (index_ == count_) {
        return -1;
    }
    return buffer_[index_++];
}

std::uint32_t BufferedInput::read(void* buffer, std::uint32_t length) {
    if (index_ == count_ && length >= capacity_) {
        std::uint32_t n = next_.read(buffer, length);
        // The buffer is spent: it starts afresh after the bytes read past it.
        base_ += count_ + n;
        count_ = 0;
        index_ = 0;
        return n;
    }
    if (count_ - index_ < length) {
        refill();
    }
    std::uint32_t n = count_ - index_;
    if (n == 0) {
        return 0;
    }
    if (n > length) {
        n = length;
    }
    std::memcpy(buffer, buffer_.get() + index_, n);
    index_ += n;
    return n;
}

// Same result as get() repeated, a buffer at a time.
std::uint64_t BufferedInput::skip(std::uint64_t count) {
    std::uint64_t done = 0;
    while (done < count) {
        if (index_ == count_) {
            refill();
            if (index_ == count_) {
                break;
            }
        }
        std::uint64_t n = count_ - index_;
        if (n > count - done) {
            n = count - done;
        }
        index_ += static_cast<std::uint32_t>(n);
        done += n;
    }
    return done;
}

// Same result as the default byte loop, handing the output whole runs of buffered bytes.
std::uint64_t BufferedInput::copy(OutputStream& output, std::uint64_t count) {
    if (count == ALL) {
        count = size() - tell();
    }
    std::uint64_t moved = 0;
    while (moved < count) {
        if (index_ == count_) {
            refill();
            if (index_ == count_) {
                break;
            }
        }
        std::uint64_t n = count_ - index_;
        if (n > count - moved) {
            n = count - moved;
        }
        // Advance before writing: the bytes are consumed even if the output fails.
        const std::uint8_t* from = buffer_.get() + index_;
        index_ += static_cast<std::uint32_t>(n);
        output.write(from, static_cast<std::uint32_t>(n));
        moved += n;
    }
    output.flush();
    return moved;
}

std::uint64_t BufferedInput::size() {
    return next_.size();
}

void BufferedInput::close() {
    next_.close();
}

void BufferedInput::seek(std::uint64_t position) {
    auto* random = dynamic_cast<RandomInput*>(&next_);
    if (random == nullptr) {
        throw Exception("stream::BufferedInput::seek() needs a seekable stream");
    }
    // A position among the buffered bytes costs no call: entries that follow each other in an
    // archive are read from one buffer fill.
    if (absolute_ && position >= base_ && position - base_ <= count_) {
        index_ = static_cast<std::uint32_t>(position - base_);
        return;
    }
    random->seek(position);
    count_ = 0;
    index_ = 0;
    base_ = position;
    absolute_ = true;
}

}  // namespace stream
