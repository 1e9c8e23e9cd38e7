#include "algorithm/zip/Decompressor.h"

#include <cstring>
#include <string>

#include "algorithm/zip/InflateFormat.h"
#include "algorithm/zip/InflateInput.h"
#include "base/Exception.h"

namespace algorithm {
namespace zip {

namespace {

using namespace inflate_entry;

constexpr unsigned kLiteralRootBits = 10;
constexpr unsigned kDistanceRootBits = 8;
constexpr unsigned kCodeLengthRootBits = 7;
// Matches are copied in steps of up to 32 bytes; the last step may run this far past the match.
constexpr std::uint32_t kCopySlack = 32;

// Literal/length symbols 257 to 287 and distance symbols 0 to 31. Symbols 286, 287, 30 and 31
// may be given codes but must not occur (99 extra bits marks them).
constexpr std::uint16_t kLengthBases[31] = {3,  4,   5,   6,   7,   8,   9,   10, 11, 13, 15,
                                            17, 19,  23,  27,  31,  35,  43,  51, 59, 67, 83,
                                            99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr std::uint8_t kLengthExtras[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,  2, 2,
                                            3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
constexpr std::uint16_t kDistanceBases[32] = {
    1,   2,   3,   4,   5,    7,    9,    13,   17,   25,   33,   49,    65,    97,    129, 193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 0,   0};
constexpr std::uint8_t kDistanceExtras[32] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3, 4,
                                              4,  5,  5,  6,  6,  7,  7,  8,  8,  9, 9,
                                              10, 10, 11, 11, 12, 12, 13, 13, 99, 99};

// The order in which a dynamic block stores the code lengths of the code-length code.
constexpr unsigned char kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};

// Built when the program starts: a namespace-scope object needs no guard against two threads'
// first use, which a function's static would bring. The fixed distance code has 30 codes here.
const FixedInflateTables fixed(kLengthBases, kLengthExtras, kDistanceBases, kDistanceExtras, 30);

const InflateFormat deflate = {32768,
                               258,
                               false,
                               kLengthBases,
                               kLengthExtras,
                               kDistanceBases,
                               kDistanceExtras,
                               &fixed.literals,
                               &fixed.distances,
                               "Decompressor"};

}  // namespace

FixedInflateTables::FixedInflateTables(const std::uint16_t* lengthBases,
                                       const std::uint8_t* lengthExtras,
                                       const std::uint16_t* distanceBases,
                                       const std::uint8_t* distanceExtras, unsigned distanceCount) {
    unsigned lengths[288];
    for (unsigned i = 0; i < 288; ++i) {
        lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    }
    literals.build(lengths, 288, 257, lengthBases, lengthExtras, kLiteralRootBits);
    for (unsigned i = 0; i < distanceCount; ++i) {
        lengths[i] = 5;
    }
    distances.build(lengths, distanceCount, 0, distanceBases, distanceExtras, kDistanceRootBits);
}

Decompressor::Decompressor() : Decompressor(deflate) {}

// History, then the piece being decoded, then room for the longest match plus the steps in
// which matches are copied.
Decompressor::Decompressor(const InflateFormat& format)
    : format_(format),
      window_(new std::uint8_t[2 * format.window + format.longestMatch + kCopySlack]) {}

void Decompressor::fail(const char* what) const {
    throw Exception(std::string(what) + " in " + format_.name);
}

void Decompressor::truncated() const {
    fail("unexpected end of data");
}

std::uint64_t Decompressor::process(stream::InputStream& input, stream::OutputStream& output) {
    const std::uint64_t start = output.tell();
    InflateInput bits(input);
    // A distance reaching before the first byte copies zeros.
    const std::uint32_t piece = format_.window;
    std::memset(window_.get(), 0, piece);
    position_ = piece;

    bool final = false;
    while (!final) {
        // A failed read of the final bit counts as final; the type read then decides.
        final = bits.getbits(1) != 0;
        switch (bits.getbits(2)) {
            case 0:
                stored(bits, output);
                break;
            case 1:
                codes(bits, output, *format_.fixedLiterals, *format_.fixedDistances);
                break;
            case 2:
                dynamic(bits, output);
                break;
            default:
                fail("bad block type");
        }
    }
    if (position_ > piece) {
        output.write(window_.get() + piece, position_ - piece);
    }
    output.flush();
    bits.giveBack();
    return output.tell() - start;
}

void Decompressor::writePiece(stream::OutputStream& output) {
    const std::uint32_t piece = format_.window;
    output.write(window_.get() + piece, piece);
    std::memmove(window_.get(), window_.get() + piece, position_ - piece);
    position_ -= piece;
}

void Decompressor::stored(InflateInput& input, stream::OutputStream& output) {
    input.align();
    int length = input.getbits(16);
    int check = input.getbits(16);
    if (length < 0 || check < 0 || length != (~check & 0xFFFF)) {
        fail("error in compressed data");
    }
    std::uint32_t left = static_cast<std::uint32_t>(length);
    const std::uint32_t pieceEnd = 2 * format_.window;
    while (left > 0) {
        std::uint32_t take = pieceEnd - position_;
        if (take > left) {
            take = left;
        }
        if (!input.copyBytes(window_.get() + position_, take)) {
            truncated();
        }
        position_ += take;
        left -= take;
        if (position_ >= pieceEnd) {
            writePiece(output);
        }
    }
}

void Decompressor::dynamic(InflateInput& input, stream::OutputStream& output) {
    const int hlit = input.getbits(5);
    const int hdist = input.getbits(5);
    const int hclen = input.getbits(4);
    if (hlit < 0 || hdist < 0 || hclen < 0) {
        truncated();
    }
    const unsigned literalCount = static_cast<unsigned>(hlit) + 257;
    const unsigned distanceCount = static_cast<unsigned>(hdist) + 1;
    if (literalCount > 288 || distanceCount > 32) {
        fail("bad codeword lengths");
    }
    unsigned lengths[288 + 32] = {};
    for (int i = 0; i < hclen + 4; ++i) {
        int length = input.getbits(3);
        if (length < 0) {
            truncated();
        }
        lengths[kCodeLengthOrder[i]] = static_cast<unsigned>(length);
    }
    codeLengths_.build(lengths, 19, 19, nullptr, nullptr, kCodeLengthRootBits);

    const unsigned total = literalCount + distanceCount;
    unsigned previous = 0;
    for (unsigned i = 0; i < total;) {
        if (input.count() < 16) {
            input.refill();
        }
        std::uint32_t entry = codeLengths_.lookup(input.bits());
        if (invalid(entry)) {
            // Only an incomplete or empty code-length code has patterns without a code.
            fail("bad code");
        }
        input.consume(length(entry));
        const unsigned symbol = value(entry);
        if (symbol < 16) {
            lengths[i++] = previous = symbol;
        } else {
            unsigned repeat;
            unsigned with = 0;
            const char* overrun;
            if (symbol == 16) {
                repeat = 3 + static_cast<unsigned>(input.bits() & 3);
                input.consume(2);
                with = previous;
                overrun = "bad data (1)";
            } else if (symbol == 17) {
                repeat = 3 + static_cast<unsigned>(input.bits() & 7);
                input.consume(3);
                overrun = "bad data (2)";
            } else {
                repeat = 11 + static_cast<unsigned>(input.bits() & 127);
                input.consume(7);
                overrun = "bad data (3)";
            }
            if (input.overrun()) {
                truncated();
            }
            if (i + repeat > total) {
                fail(overrun);
            }
            for (unsigned end = i + repeat; i < end; ++i) {
                lengths[i] = with;
            }
            if (symbol != 16) {
                previous = 0;
            }
        }
        if (input.overrun()) {
            truncated();
        }
    }

    literals_.build(lengths, literalCount, 257, format_.lengthBases, format_.lengthExtras,
                    kLiteralRootBits);
    distances_.build(lengths + literalCount, distanceCount, 0, format_.distanceBases,
                     format_.distanceExtras, kDistanceRootBits);
    codes(input, output, literals_, distances_);
}

void Decompressor::codes(InflateInput& input, stream::OutputStream& output,
                         const InflateTable& literals, const InflateTable& distances) {
    if (format_.longLengths) {
        codes<true>(input, output, literals, distances);
    } else {
        codes<false>(input, output, literals, distances);
    }
}

namespace {

// Copies a match of length bytes from distance bytes back to to. May write up to 31 bytes past
// the match (the window keeps room for that after the piece); every step reads only bytes that
// are already written.
inline void copyMatch(std::uint8_t* to, std::uint32_t distance, std::uint32_t length) {
    const std::uint8_t* from = to - distance;
    std::uint8_t* const stop = to + length;
    if (distance >= 16) {
        if (distance >= 32) {
            do {
                std::memcpy(to, from, 16);
                std::memcpy(to + 16, from + 16, 16);
                to += 32;
                from += 32;
            } while (to < stop);
        } else {
            do {
                std::memcpy(to, from, 16);
                to += 16;
                from += 16;
            } while (to < stop);
        }
    } else if (distance >= 8) {
        do {
            std::memcpy(to, from, 8);
            to += 8;
            from += 8;
        } while (to < stop);
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

}  // namespace

template <bool kDeflate64>
void Decompressor::codes(InflateInput& input, stream::OutputStream& output,
                         const InflateTable& literals, const InflateTable& distances) {
    constexpr std::uint32_t kPiece = kDeflate64 ? 65536 : 32768;
    constexpr std::uint32_t kPieceEnd = 2 * kPiece;
    // The fast loop runs while this many input bytes are left: it refills at most three times a
    // round, each loading 8 bytes and keeping at most 7, so no load reaches past the input and
    // no zero bits past its end are ever used there.
    constexpr std::ptrdiff_t kFastInput = 32;
    constexpr std::uint64_t kLiteralMask = (1u << kLiteralRootBits) - 1;
    constexpr std::uint64_t kDistanceMask = (1u << kDistanceRootBits) - 1;

    // The bit buffer lives in locals here: the window stores would otherwise make the compiler
    // reload it from memory after every byte. The low count bits of bits are input not yet used
    // (the top padding of them zeros past the end of the input); above them bits holds zeros, or
    // after a fast refill the first bits of the byte at next, which the next refill loads again.
    std::uint64_t bits = input.bits_;
    unsigned count = input.count_;
    const std::uint8_t* next = input.next_;
    const std::uint8_t* end = input.end_;
    unsigned padding = input.padding_;
    auto save = [&] {
        input.bits_ = bits & InflateInput::mask(count);
        input.count_ = count;
        input.next_ = next;
    };
    auto restore = [&] {
        bits = input.bits_;
        count = input.count_;
        next = input.next_;
        end = input.end_;
        padding = input.padding_;
    };
    // At least 56 bits afterwards; needs 8 input bytes at next.
    auto refillFast = [&] {
        bits |= InflateInput::load(next) << count;
        next += (63 - count) >> 3;
        count |= 56;
    };
    // At least 49 bits afterwards, from wherever they are.
    auto refill = [&] {
        if (end - next >= 8) {
            refillFast();
        } else {
            save();
            input.refillSlowly();
            restore();
        }
    };
    auto consume = [&](std::uint32_t entry) {
        bits >>= length(entry) & 63;
        count -= length(entry);
    };
    // The base plus the extra bits of a length or distance entry; consumes both.
    auto extra = [&](std::uint32_t entry) {
        const std::uint32_t value =
            inflate_entry::value(entry) +
            static_cast<std::uint32_t>((bits & InflateInput::mask(length(entry))) >>
                                       (flags(entry) & kLowMask));
        consume(entry);
        return value;
    };

    const std::uint32_t* const literalEntries = literals.entries();
    const std::uint32_t* const distanceEntries = distances.entries();
    auto lookup = [&](const std::uint32_t* entries, std::uint64_t mask) {
        std::uint32_t entry = entries[bits & mask];
        if (flags(entry) & kLink) {
            entry = InflateTable::linked(entries, entry, bits);
        }
        return entry;
    };
    std::uint8_t* const window = window_.get();
    std::uint8_t* const pieceEnd = window + kPieceEnd;
    std::uint8_t* out = window + position_;

    for (;;) {
        // The fast loop, while the input's memory holds enough bytes and the piece has room.
        while (end - next >= kFastInput && out < pieceEnd) {
            // Up to three literals a refill: 56 bits hold three 15-bit codes.
            refillFast();
            std::uint32_t entry = lookup(literalEntries, kLiteralMask);
            if (literal(entry)) {
                consume(entry);
                *out++ = static_cast<std::uint8_t>(value(entry));
                entry = lookup(literalEntries, kLiteralMask);
                if (literal(entry)) {
                    consume(entry);
                    *out++ = static_cast<std::uint8_t>(value(entry));
                    entry = lookup(literalEntries, kLiteralMask);
                    if (literal(entry)) {
                        consume(entry);
                        *out++ = static_cast<std::uint8_t>(value(entry));
                        continue;
                    }
                }
                // A length code with its extra bits and a distance with its own take up to 48
                // bits (Deflate64's longest length 31 of them, and a refill before the distance).
                refillFast();
            }
            if (flags(entry) & kEndOfBlock) {
                if (invalid(entry)) {
                    fail("bad code");
                }
                consume(entry);
                position_ = static_cast<std::uint32_t>(out - window);
                save();
                return;
            }
            const std::uint32_t matchLength = extra(entry);
            if (kDeflate64) {
                refillFast();
            }
            entry = lookup(distanceEntries, kDistanceMask);
            if (invalid(entry)) {
                fail("bad code");
            }
            // The history holds the longest distance there is, so the source is always inside
            // the window.
            copyMatch(out, extra(entry), matchLength);
            out += matchLength;
        }

        if (out < pieceEnd) {
            // Near the end of the input's memory: one code at a time, each refill checked, zero
            // bits past the end counted.
            if (count < 48) {
                refill();
            }
            std::uint32_t entry = lookup(literalEntries, kLiteralMask);
            if (literal(entry)) {
                consume(entry);
                *out++ = static_cast<std::uint8_t>(value(entry));
            } else if (flags(entry) & kEndOfBlock) {
                if (invalid(entry)) {
                    fail("bad code");
                }
                consume(entry);
                if (count < padding) {
                    truncated();
                }
                break;
            } else {
                const std::uint32_t matchLength = extra(entry);
                if (kDeflate64 && count < 29) {
                    // Deflate64's length takes up to 31 bits; a distance needs up to 29 more.
                    refill();
                }
                entry = lookup(distanceEntries, kDistanceMask);
                if (invalid(entry)) {
                    fail("bad code");
                }
                copyMatch(out, extra(entry), matchLength);
                out += matchLength;
            }
            if (count < padding) {
                truncated();
            }
        }
        if (out >= pieceEnd) {
            position_ = static_cast<std::uint32_t>(out - window);
            // Only a Deflate64 match can be longer than a piece.
            do {
                writePiece(output);
            } while (kDeflate64 && position_ >= kPieceEnd);
            out = window + position_;
        }
    }
    position_ = static_cast<std::uint32_t>(out - window);
    save();
}

}  // namespace zip
}  // namespace algorithm
