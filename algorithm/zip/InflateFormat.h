// What Deflate (Zip method 8) and Deflate64 (method 9) differ in: the window, the meaning of
// length symbol 285 and distance symbols 30 and 31, and the name their messages end in. The
// decoder is one, Decompressor, driven by one of these.
#pragma once

#include <cstdint>

#include "algorithm/zip/InflateTable.h"

namespace algorithm {
namespace zip {

struct InflateFormat {
    // The history a distance reaches into, and the piece the output leaves in.
    std::uint32_t window;
    // The longest match: the room kept after a piece for a match that begins inside it.
    std::uint32_t longestMatch;
    // Deflate64's length symbol 285 carries 16 extra bits, more than one refill covers together
    // with a distance.
    bool longLengths;
    // Bases and extra bits of literal/length symbols 257 to 287 and distance symbols 0 to 31;
    // 99 extra bits marks a symbol that must not occur.
    const std::uint16_t* lengthBases;
    const std::uint8_t* lengthExtras;
    const std::uint16_t* distanceBases;
    const std::uint8_t* distanceExtras;
    // The fixed code's tables, built when the program starts.
    const InflateTable* fixedLiterals;
    const InflateTable* fixedDistances;
    // The class named at the end of every message: "Decompressor", "Deflate64Decompressor".
    const char* name;
};

// The fixed literal/length code (RFC 1951, 3.2.6) over the format's length symbols, and the
// fixed distance code: five bits for each of the first distanceCount symbols.
struct FixedInflateTables {
    InflateTable literals;
    InflateTable distances;

    FixedInflateTables(const std::uint16_t* lengthBases, const std::uint8_t* lengthExtras,
                       const std::uint16_t* distanceBases, const std::uint8_t* distanceExtras,
                       unsigned distanceCount);
};

}  // namespace zip
}  // namespace algorithm
