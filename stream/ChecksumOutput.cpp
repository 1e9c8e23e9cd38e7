#include "stream/ChecksumOutput.h"

#include <cstring>

namespace stream {

void ChecksumOutput::put(std::uint8_t byte) {
    next().put(byte);
    checksum_.update(byte);
}

void ChecksumOutput::write(const void* buffer, std::uint32_t length) {
    if (buffer == nullptr) {
        return;
    }
    next().write(buffer, length);
    checksum_.update(buffer, length);
}

void ChecksumOutput::fill(std::uint64_t count, std::uint8_t byte) {
    std::uint8_t block[4096];
    std::memset(block, byte, sizeof block);
    while (count > 0) {
        std::uint32_t n = count < sizeof block ? static_cast<std::uint32_t>(count) : sizeof block;
        write(block, n);
        count -= n;
    }
}

std::uint64_t ChecksumOutput::copyFrom(InputStream& input, std::uint64_t count) {
    return CopyTarget::copyFrom(input, count);
}

}  // namespace stream
