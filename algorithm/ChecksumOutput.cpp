#include "algorithm/ChecksumOutput.h"

namespace stream {

void ChecksumOutput::passedByte(std::uint8_t byte) {
    checksum_.update(byte);
}

void ChecksumOutput::passedBlock(const void* buffer, std::uint32_t length) {
    checksum_.update(buffer, length);
}

}  // namespace stream
