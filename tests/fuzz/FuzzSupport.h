// What the fuzz targets share: a sink that counts what a decoder writes, and the reading of the
// small header some targets put before the data to pick a decoder's parameters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "stream/CountingOutput.h"
#include "stream/Stream.h"

namespace fuzz {

using stream::CountingOutput;

// Input bytes read from the front: a parameter byte, a 16-bit little-endian size, the rest.
struct Header {
    std::uint8_t selector = 0;
    std::uint16_t size = 0;
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
};

// False when the input is too short to hold the header.
inline bool readHeader(const std::uint8_t* input, std::size_t size, Header& header) {
    if (size < 3) {
        return false;
    }
    header.selector = input[0];
    header.size = static_cast<std::uint16_t>(input[1] | input[2] << 8);
    header.data = input + 3;
    header.length = size - 3;
    return true;
}

// The longest match the size-bounded decoders may finish past their size (Reduce, factor 1).
constexpr std::uint64_t kLongestMatch = 127 + 255 + 3;

// A decoder that writes more than its size allows is a fault the sanitizers cannot see.
inline void checkBound(std::uint64_t written, std::uint64_t size) {
    if (written > size + kLongestMatch) {
        std::abort();
    }
}

}  // namespace fuzz
