#include "algorithm/CipherInput.h"

namespace stream {

int CipherInput::get() {
    int c = next().get();
    if (c < 0) {
        return c;
    }
    std::uint8_t byte = static_cast<std::uint8_t>(c);
    cipher_.decrypt(&byte, 1);
    return byte;
}

std::uint32_t CipherInput::read(void* buffer, std::uint32_t length) {
    std::uint32_t n = next().read(buffer, length);
    cipher_.decrypt(static_cast<std::uint8_t*>(buffer), n);
    return n;
}

std::uint64_t CipherInput::skip(std::uint64_t count) {
    return Input::skip(count);
}

std::uint64_t CipherInput::copy(OutputStream& output, std::uint64_t count) {
    return CopySource::copy(output, count);
}

}  // namespace stream
