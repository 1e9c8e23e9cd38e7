#include "stream/PassThroughOutput.h"

#include <cstring>

namespace stream {

void PassThroughOutput::put(std::uint8_t byte) {
    next().put(byte);
    passedByte(byte);
}

void PassThroughOutput::write(const void* buffer, std::uint32_t length) {
    if (buffer == nullptr) {
        return;
    }
    next().write(buffer, length);
    passedBlock(buffer, length);
}

// Through write() in blocks, so that the filled bytes are seen as well.
void PassThroughOutput::fill(std::uint64_t count, std::uint8_t byte) {
    std::uint8_t block[4096];
    std::memset(block, byte, sizeof block);
    while (count > 0) {
        std::uint32_t n = count < sizeof block ? static_cast<std::uint32_t>(count) : sizeof block;
        write(block, n);
        count -= n;
    }
}

// Byte by byte through put(), rather than handing the copy on to the next stream unseen.
std::uint64_t PassThroughOutput::copyFrom(InputStream& input, std::uint64_t count) {
    return CopyTarget::copyFrom(input, count);
}

}  // namespace stream
