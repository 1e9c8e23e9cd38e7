#include "stream/Stream.h"

#include "base/Exception.h"

namespace stream {

std::uint32_t Input::read(void* buffer, std::uint32_t length) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::uint32_t done = 0;
    while (done < length) {
        int c = get();
        if (c < 0) {
            break;
        }
        bytes[done++] = static_cast<std::uint8_t>(c);
    }
    return done;
}

std::uint64_t Input::skip(std::uint64_t count) {
    std::uint64_t done = 0;
    while (done < count && get() >= 0) {
        ++done;
    }
    return done;
}

std::uint64_t CopySource::copy(OutputStream& output, std::uint64_t count) {
    if (count == ALL) {
        count = size() - tell();
    }
    std::uint64_t moved = 0;
    while (moved < count) {
        int c = get();
        if (c < 0) {
            break;
        }
        output.put(static_cast<std::uint8_t>(c));
        ++moved;
    }
    output.flush();
    return moved;
}

void Sink::write(const void* buffer, std::uint32_t length) {
    if (buffer == nullptr) {
        return;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (std::uint32_t i = 0; i < length; ++i) {
        put(bytes[i]);
    }
}

void Sink::fill(std::uint64_t count, std::uint8_t byte) {
    for (std::uint64_t i = 0; i < count; ++i) {
        put(byte);
    }
}

void Output::resize(std::uint64_t newSize) {
    std::uint64_t current = size();
    if (newSize < current) {
        throw Exception("default stream::Output::resize() cannot truncate its stream");
    }
    if (newSize > current) {
        fill(newSize - current, 0);
    }
}

// Everything up to the end is bounded by the input's size less its position; an unknown size
// (ALL) less any position still exceeds every real remainder.
std::uint64_t CopyTarget::copyFrom(InputStream& input, std::uint64_t count) {
    if (count == ALL) {
        count = input.size() - input.tell();
    }
    std::uint64_t moved = 0;
    while (moved < count) {
        int c = input.get();
        if (c < 0) {
            break;
        }
        put(static_cast<std::uint8_t>(c));
        ++moved;
    }
    flush();
    return moved;
}

}  // namespace stream
