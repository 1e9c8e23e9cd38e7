#include "stream/SafeInput.h"

#include "base/Exception.h"

namespace stream {

namespace {
// get() is a one-byte read, and reports its end as such.
const char kReadEnd[] = "unexpected end of file in stream::SafeInput::read()";
}  // namespace

int SafeInput::get() {
    int c = InputFilter::get();
    if (c < 0) {
        throw Exception(kReadEnd);
    }
    return c;
}

std::uint32_t SafeInput::read(void* buffer, std::uint32_t length) {
    std::uint32_t n = InputFilter::read(buffer, length);
    if (n < length) {
        throw Exception(kReadEnd);
    }
    return n;
}

std::uint64_t SafeInput::skip(std::uint64_t count) {
    std::uint64_t n = InputFilter::skip(count);
    if (n < count) {
        throw Exception("unexpected end of file in stream::SafeInput::skip()");
    }
    return n;
}

std::uint64_t SafeInput::copy(OutputStream& output, std::uint64_t count) {
    std::uint64_t n = InputFilter::copy(output, count);
    if (count != ALL && n < count) {
        throw Exception("unexpected end of file in stream::SafeInput::copy()");
    }
    return n;
}

}  // namespace stream
