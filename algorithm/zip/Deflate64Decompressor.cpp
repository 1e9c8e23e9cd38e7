#include "algorithm/zip/Deflate64Decompressor.h"

#include "algorithm/zip/InflateFormat.h"

namespace algorithm {
namespace zip {

namespace {

// Deflate's lists, but for symbol 285 (length 3 plus 16 extra bits, up to 65,538) and distance
// symbols 30 and 31 (up to 65,536 back).
constexpr std::uint16_t kLengthBases[31] = {3,  4,   5,   6,   7,   8,   9,  10, 11, 13, 15,
                                            17, 19,  23,  27,  31,  35,  43, 51, 59, 67, 83,
                                            99, 115, 131, 163, 195, 227, 3,  0,  0};
constexpr std::uint8_t kLengthExtras[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2,  2,  2, 2,
                                            3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16, 99, 99};
constexpr std::uint16_t kDistanceBases[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                              17,   25,   33,   49,    65,    97,    129,   193,
                                              257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                              4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::uint8_t kDistanceExtras[32] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3, 4,
                                              4,  5,  5,  6,  6,  7,  7,  8,  8,  9, 9,
                                              10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

// Built when the program starts (no guard for a function's static); the fixed distance code has
// 32 five-bit codes, all of them usable here.
const FixedInflateTables fixed(kLengthBases, kLengthExtras, kDistanceBases, kDistanceExtras, 32);

const InflateFormat deflate64 = {65536,
                                 65538,
                                 true,
                                 kLengthBases,
                                 kLengthExtras,
                                 kDistanceBases,
                                 kDistanceExtras,
                                 &fixed.literals,
                                 &fixed.distances,
                                 "Deflate64Decompressor"};

}  // namespace

Deflate64Decompressor::Deflate64Decompressor() : Decompressor(deflate64) {}

}  // namespace zip
}  // namespace algorithm
