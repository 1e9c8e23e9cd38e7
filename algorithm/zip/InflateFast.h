// The inner loop of the Deflate decoder: literal/length and distance codes decoded while the
// input's memory holds plenty of bytes and the output piece has room, with no checks for the end
// of either inside a round. Decompressor runs it between its careful steps near those ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "algorithm/zip/InflateInput.h"
#include "algorithm/zip/InflateTable.h"

namespace algorithm {
namespace zip {

constexpr unsigned kLiteralRootBits = 11;
constexpr unsigned kDistanceRootBits = 8;
// The fast loop runs while this many input bytes are left: it refills at most three times a
// round, each loading 8 bytes and keeping at most 7, so no load reaches past the input and no
// zero bits past its end are ever used there.
constexpr std::ptrdiff_t kFastInput = 32;
// The room a match copy may write past the match's end (it writes whole words).
constexpr std::uint32_t kCopySlack = 32;

// The decoder's state while it decodes codes, handed to the fast loop and back. The low count
// bits of bits are input not yet used; above them bits holds zeros, or after a fast refill the
// first bits of the byte at next, which the next refill loads again (an OR of equal bits).
struct InflateRegisters {
    std::uint64_t bits;
    unsigned count;
    const std::uint8_t* next;
    const std::uint8_t* end;
    std::uint8_t* out;
};

enum class FastStop { kEdge, kEndOfBlock, kBadCode };

// The size-optimised stub's compiler would otherwise call the small helpers of the loop instead of
// inlining them, which costs it a third of its speed.
#if defined(__GNUC__)
#define ZIPSFX_INLINE __attribute__((always_inline))
#else
#define ZIPSFX_INLINE
#endif

// Copies a match of length bytes from distance bytes back to to. May write up to 21 bytes past
// the match (within kCopySlack, which the window keeps after the last piece); every step reads
// only bytes that are already written.
inline ZIPSFX_INLINE void copyMatch(std::uint8_t* to, std::uint32_t distance,
                                    std::uint32_t length) {
    const std::uint8_t* from = to - distance;
    std::uint8_t* const stop = to + length;
    if (distance >= 8) {
        // Word by word (a load the size of the store that wrote it forwards from that store);
        // most matches are shorter than 24 bytes and take no loop.
        std::uint64_t word;
        for (int i = 0; i < 3; ++i) {
            std::memcpy(&word, from, 8);
            std::memcpy(to, &word, 8);
            from += 8;
            to += 8;
        }
        while (to < stop) {
            std::memcpy(&word, from, 8);
            std::memcpy(to, &word, 8);
            std::memcpy(&word, from + 8, 8);
            std::memcpy(to + 8, &word, 8);
            from += 16;
            to += 16;
        }
    } else if (distance == 1) {
        const std::uint64_t run = *from * std::uint64_t(0x0101010101010101);
        do {
            std::memcpy(to, &run, 8);
            to += 8;
        } while (to < stop);
    } else {
        // A short period: the first bytes one at a time, up to a multiple of the period of at
        // least 8; from there a step of 8 reads bytes of the same phase that are written.
        static constexpr std::uint8_t kWholePeriods[8] = {0, 0, 8, 9, 8, 10, 12, 14};
        const std::uint32_t period = kWholePeriods[distance];
        std::uint8_t* const first = to + period;
        do {
            *to = *from++;
            ++to;
        } while (to < first);
        while (to < stop) {
            std::memcpy(to, to - period, 8);
            to += 8;
        }
    }
}

// Decodes codes until the end of the block, a bad code, fewer than kFastInput input bytes left
// or the output reaching pieceEnd. Kept out of line so that its state has the registers to
// itself.
template <bool kDeflate64>
#if defined(__GNUC__)
__attribute__((noinline))
#endif
FastStop
inflateFast(InflateRegisters& registers, std::uint8_t* const pieceEnd,
            const std::uint32_t* const literals, const std::uint32_t* const distances) {
    using namespace inflate_entry;
    constexpr std::uint64_t kLiteralMask = (1u << kLiteralRootBits) - 1;
    constexpr std::uint64_t kDistanceMask = (1u << kDistanceRootBits) - 1;

    std::uint64_t bits = registers.bits;
    unsigned count = registers.count;
    const std::uint8_t* next = registers.next;
    const std::uint8_t* const end = registers.end;
    std::uint8_t* out = registers.out;

    // At least 56 bits afterwards.
    auto refill = [&]() ZIPSFX_INLINE {
        bits |= loadLittleEndian64(next) << count;
        next += (63 - count) >> 3;
        count |= 56;
    };
    auto consume = [&](std::uint32_t entry) ZIPSFX_INLINE {
        bits >>= length(entry) & 63;
        count -= length(entry);
    };
    // The base plus the extra bits of a length or distance entry; consumes both.
    auto extra = [&](std::uint32_t entry) ZIPSFX_INLINE {
        const std::uint32_t base = value(entry);
        const std::uint64_t field = bits & ((std::uint64_t(1) << length(entry)) - 1);
        consume(entry);
        return base + static_cast<std::uint32_t>(field >> (flags(entry) & kLowMask));
    };
    auto lookup = [&](const std::uint32_t* entries, std::uint64_t mask) ZIPSFX_INLINE {
        std::uint32_t entry = entries[bits & mask];
        if (flags(entry) & kLink) {
            entry = InflateTable::linked(entries, entry, bits);
        }
        return entry;
    };

    FastStop stop = FastStop::kEdge;
    if (end - next < kFastInput || out >= pieceEnd) {
        return stop;
    }
    // The next code's entry is looked up as soon as the current code is consumed, before its
    // literal is stored or its match copied: the lookup's latency overlaps that work, and a
    // mispredicted branch in the copy does not discard it.
    refill();
    std::uint32_t entry = lookup(literals, kLiteralMask);
    do {
        if (literal(entry)) {
            // Up to three literals a refill: 56 bits hold three 15-bit codes.
            consume(entry);
            std::uint8_t byte = static_cast<std::uint8_t>(value(entry));
            entry = lookup(literals, kLiteralMask);
            *out++ = byte;
            if (literal(entry)) {
                consume(entry);
                byte = static_cast<std::uint8_t>(value(entry));
                entry = lookup(literals, kLiteralMask);
                *out++ = byte;
                if (literal(entry)) {
                    consume(entry);
                    byte = static_cast<std::uint8_t>(value(entry));
                    refill();
                    entry = lookup(literals, kLiteralMask);
                    *out++ = byte;
                    continue;
                }
            }
            // A length code with its extra bits and a distance with its own take up to 48 bits
            // (Deflate64's longest length 31 of them, and a refill before the distance).
            refill();
        }
        if (flags(entry) & kEndOfBlock) {
            if (invalid(entry)) {
                stop = FastStop::kBadCode;
            } else {
                consume(entry);
                stop = FastStop::kEndOfBlock;
            }
            break;
        }
        const std::uint32_t matchLength = extra(entry);
        if (kDeflate64) {
            refill();
        }
        entry = lookup(distances, kDistanceMask);
        if (invalid(entry)) {
            stop = FastStop::kBadCode;
            break;
        }
        // The history holds the longest distance there is, so the source is always inside the
        // window.
        const std::uint32_t distance = extra(entry);
        refill();
        entry = lookup(literals, kLiteralMask);
        copyMatch(out, distance, matchLength);
        out += matchLength;
    } while (end - next >= kFastInput && out < pieceEnd);

    registers.bits = bits;
    registers.count = count;
    registers.next = next;
    registers.out = out;
    return stop;
}

}  // namespace zip
}  // namespace algorithm
