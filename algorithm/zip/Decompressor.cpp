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

template <bool kDeflate64>
void Decompressor::codes(InflateInput& input, stream::OutputStream& output,
                         const InflateTable& literals, const InflateTable& distances) {
    constexpr std::uint32_t kPiece = kDeflate64 ? 65536 : 32768;
    constexpr std::uint32_t kPieceEnd = 2 * kPiece;
    // The bit buffer lives in locals here: the window stores would otherwise make the compiler
    // reload it from memory after every byte.
    std::uint64_t bits = input.bits_;
    unsigned count = input.count_;
    const std::uint8_t* next = input.next_;
    const std::uint8_t* end = input.end_;
    unsigned padding = input.padding_;
    auto save = [&] {
        input.bits_ = bits;
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

    const std::uint32_t* const literalEntries = literals.entries();
    const unsigned literalBits = literals.rootBits();
    const std::uint64_t literalMask = (1u << literalBits) - 1;
    const std::uint32_t* const distanceEntries = distances.entries();
    const unsigned distanceBits = distances.rootBits();
    const std::uint64_t distanceMask = (1u << distanceBits) - 1;
    std::uint8_t* const window = window_.get();
    std::uint32_t position = position_;

    for (;;) {
        // 48 bits cover Deflate's longest length code with its extra bits and its longest
        // distance code with its extra bits; a refill leaves at least 49.
        if (count < 48) {
            if (end - next >= 8) {
                bits |= InflateInput::load(next) << count;
                unsigned bytes = (63 - count) >> 3;
                next += bytes;
                count += bytes * 8;
            } else {
                save();
                input.refillSlowly();
                restore();
            }
        }
        std::uint32_t entry = literalEntries[bits & literalMask];
        if (flags(entry) & kLink) {
            entry = literalEntries[value(entry) + ((bits >> literalBits) &
                                                   ((1u << (flags(entry) & kLowMask)) - 1))];
        }
        const std::uint32_t kind = flags(entry);
        if (kind & kLiteral) {
            bits >>= length(entry);
            count -= length(entry);
            window[position++] = static_cast<std::uint8_t>(value(entry));
        } else if (kind & kEndOfBlock) {
            if (invalid(entry)) {
                fail("bad code");
            }
            bits >>= length(entry);
            count -= length(entry);
            if (count < padding) {
                truncated();
            }
            break;
        } else {
            bits >>= length(entry);
            count -= length(entry);
            const unsigned extra = kind & kLowMask;
            const std::uint32_t matchLength =
                value(entry) + static_cast<std::uint32_t>(bits & ((1u << extra) - 1));
            bits >>= extra;
            count -= extra;
            if (kDeflate64 && count < 29) {
                // Deflate64's length takes up to 31 bits; a distance needs up to 29 more.
                if (end - next >= 8) {
                    bits |= InflateInput::load(next) << count;
                    unsigned bytes = (63 - count) >> 3;
                    next += bytes;
                    count += bytes * 8;
                } else {
                    save();
                    input.refillSlowly();
                    restore();
                }
            }

            entry = distanceEntries[bits & distanceMask];
            if (flags(entry) & kLink) {
                entry = distanceEntries[value(entry) + ((bits >> distanceBits) &
                                                        ((1u << (flags(entry) & kLowMask)) - 1))];
            }
            if (invalid(entry)) {
                fail("bad code");
            }
            bits >>= length(entry);
            count -= length(entry);
            const unsigned distanceExtra = flags(entry) & kLowMask;
            const std::uint32_t distance =
                value(entry) + static_cast<std::uint32_t>(bits & ((1u << distanceExtra) - 1));
            bits >>= distanceExtra;
            count -= distanceExtra;

            // The history holds the longest distance there is, so the source is always inside
            // the window.
            std::uint8_t* to = window + position;
            const std::uint8_t* from = to - distance;
            position += matchLength;
            if (distance >= 32) {
                // Steps no longer than the distance never read bytes not yet written; the last
                // step may write up to 31 bytes past the match, into the room after the piece.
                std::uint8_t* const stop = to + matchLength;
                do {
                    std::memcpy(to, from, 16);
                    std::memcpy(to + 16, from + 16, 16);
                    to += 32;
                    from += 32;
                } while (to < stop);
            } else if (distance >= 8) {
                std::uint8_t* const stop = to + matchLength;
                do {
                    std::memcpy(to, from, 8);
                    to += 8;
                    from += 8;
                } while (to < stop);
            } else if (distance == 1) {
                std::memset(to, *from, matchLength);
            } else {
                for (std::uint32_t i = 0; i < matchLength; ++i) {
                    to[i] = from[i];
                }
            }
        }
        if (count < padding) {
            truncated();
        }
        if (position >= kPieceEnd) {
            position_ = position;
            // Only a Deflate64 match can be longer than a piece.
            do {
                writePiece(output);
            } while (kDeflate64 && position_ >= kPieceEnd);
            position = position_;
        }
    }
    position_ = position;
    save();
}

}  // namespace zip
}  // namespace algorithm
