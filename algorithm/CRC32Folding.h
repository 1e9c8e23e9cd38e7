// CRC-32 of long runs with the processor's carry-less multiplication (PCLMULQDQ on x86), chosen
// at run time where the processor has it. Not built for the size-optimised stub.
#pragma once

#include <cstddef>
#include <cstdint>

namespace algorithm {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(__OPTIMIZE_SIZE__)
#define ZIPSFX_CRC32_FOLDING 1

// Whether this processor can run foldCrc32.
bool canFoldCrc32();

// Folds crc and the blocks 16-byte blocks at data (at least 4) into 16 bytes with the same CRC:
// the CRC register after data, started at crc, equals the register after those 16 bytes started
// at zero.
void foldCrc32(std::uint32_t crc, const std::uint8_t* data, std::size_t blocks,
               std::uint8_t folded[16]);
#endif

}  // namespace algorithm
