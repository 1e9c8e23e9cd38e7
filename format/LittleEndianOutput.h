// Writes the little-endian integers and raw byte runs of Zip records to another output stream.
#pragma once

#include <cstdint>
#include <string>

#include "stream/Filter.h"

namespace format {

class LittleEndianOutput : public stream::OutputFilter {
  public:
    explicit LittleEndianOutput(stream::OutputStream& next) : stream::OutputFilter(next) {}

    void put16(std::uint16_t value) {
        put(static_cast<std::uint8_t>(value & 0xFF));
        put(static_cast<std::uint8_t>(value >> 8));
    }
    void put32(std::uint32_t value) {
        put16(static_cast<std::uint16_t>(value & 0xFFFF));
        put16(static_cast<std::uint16_t>(value >> 16));
    }
    void put64(std::uint64_t value) {
        put32(static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
        put32(static_cast<std::uint32_t>(value >> 32));
    }
    void putBytes(const std::string& bytes) {
        write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
};

}  // namespace format
