// Reads the little-endian integers and raw byte runs of Zip records from another input stream.
// It adds no end-of-data check: a record cut short reads as far as the wrapped stream allows,
// and only that stream decides whether running out is an error.
#pragma once

#include <cstdint>
#include <string>

#include "stream/Filter.h"

namespace format {

class LittleEndianInput : public stream::InputFilter {
  public:
    explicit LittleEndianInput(stream::InputStream& next) : stream::InputFilter(next) {}

    std::uint8_t get8() { return static_cast<std::uint8_t>(get()); }
    std::uint16_t get16() {
        std::uint16_t low = get8();
        return static_cast<std::uint16_t>(low | (get8() << 8));
    }
    std::uint32_t get32() {
        std::uint32_t low = get16();
        return low | (std::uint32_t(get16()) << 16);
    }
    // Replaces text with the next length bytes, read one at a time.
    void getBytes(std::string& text, std::uint32_t length) {
        text.clear();
        text.reserve(length);
        for (std::uint32_t i = 0; i < length; ++i) {
            text.push_back(static_cast<char>(get8()));
        }
    }
};

}  // namespace format
