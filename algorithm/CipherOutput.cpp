#include "algorithm/CipherOutput.h"

#include <cstring>
#include <vector>

namespace stream {

void CipherOutput::put(std::uint8_t byte) {
    cipher_.encrypt(&byte, 1);
    next().put(byte);
}

void CipherOutput::write(const void* buffer, std::uint32_t length) {
    if (buffer == nullptr) {
        return;
    }
    std::vector<std::uint8_t> copy(static_cast<const std::uint8_t*>(buffer),
                                   static_cast<const std::uint8_t*>(buffer) + length);
    cipher_.encrypt(copy.data(), length);
    next().write(copy.data(), length);
}

void CipherOutput::fill(std::uint64_t count, std::uint8_t byte) {
    std::uint8_t block[4096];
    while (count > 0) {
        std::uint32_t n = count < sizeof block ? static_cast<std::uint32_t>(count) : sizeof block;
        std::memset(block, byte, n);
        cipher_.encrypt(block, n);
        next().write(block, n);
        count -= n;
    }
}

std::uint64_t CipherOutput::copyFrom(InputStream& input, std::uint64_t count) {
    return CopyTarget::copyFrom(input, count);
}

}  // namespace stream
