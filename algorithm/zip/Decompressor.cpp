#include "algorithm/zip/Decompressor.h"

#include <cstring>

#include "algorithm/zip/InflateInput.h"
#include "base/Exception.h"

namespace algorithm {
namespace zip {

namespace {

using namespace inflate_entry;

constexpr std::uint32_t kPiece = 32768;
// History, then the piece being decoded, then room for the longest match plus the 8-byte
// steps in which matches are copied.
constexpr std::uint32_t kPieceEnd = 2 * kPiece;
constexpr std::uint32_t kWindowSize = kPieceEnd + 512;

constexpr unsigned kLiteralRootBits = 10;
constexpr unsigned kDistanceRootBits = 8;
constexpr unsigned kCodeLengthRootBits = 7;

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

struct FixedTables {
    InflateTable literals;
    InflateTable distances;

    FixedTables() {
        unsigned lengths[288];
        for (unsigned i = 0; i < 288; ++i) {
            lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        }
        literals.build(lengths, 288, 257, kLengthBases, kLengthExtras, kLiteralRootBits);
        for (unsigned i = 0; i < 30; ++i) {
            lengths[i] = 5;
        }
        distances.build(lengths, 30, 0, kDistanceBases, kDistanceExtras, kDistanceRootBits);
    }
};

// Built when the program starts: a namespace-scope object needs no guard against two threads'
// first use, which a function's static would bring.
const FixedTables tables;

const FixedTables& fixedTables() {
    return tables;
}

[[noreturn]] void fail(const char* message) {
    throw Exception(message);
}

[[noreturn]] void truncated() {
    fail("unexpected end of data in Decompressor");
}

}  // namespace

Decompressor::Decompressor() : window_(new std::uint8_t[kWindowSize]) {}

std::uint64_t Decompressor::process(stream::InputStream& input, stream::OutputStream& output) {
    const std::uint64_t start = output.tell();
    InflateInput bits(input);
    // A distance reaching before the first byte copies zeros.
    std::memset(window_.get(), 0, kPiece);
    position_ = kPiece;

    bool final = false;
    while (!final) {
        // A failed read of the final bit counts as final; the type read then decides.
        final = bits.getbits(1) != 0;
        switch (bits.getbits(2)) {
            case 0:
                stored(bits, output);
                break;
            case 1:
                codes(bits, output, fixedTables().literals, fixedTables().distances);
                break;
            case 2:
                dynamic(bits, output);
                break;
            default:
                fail("bad block type in Decompressor");
        }
    }
    if (position_ > kPiece) {
        output.write(window_.get() + kPiece, position_ - kPiece);
    }
    output.flush();
    bits.giveBack();
    return output.tell() - start;
}

void Decompressor::writePiece(stream::OutputStream& output) {
    output.write(window_.get() + kPiece, kPiece);
    std::memmove(window_.get(), window_.get() + kPiece, position_ - kPiece);
    position_ -= kPiece;
}

void Decompressor::stored(InflateInput& input, stream::OutputStream& output) {
    input.align();
    int length = input.getbits(16);
    int check = input.getbits(16);
    if (length < 0 || check < 0 || length != (~check & 0xFFFF)) {
        fail("error in compressed data in Decompressor");
    }
    std::uint32_t left = static_cast<std::uint32_t>(length);
    while (left > 0) {
        std::uint32_t take = kPieceEnd - position_;
        if (take > left) {
            take = left;
        }
        if (!input.copyBytes(window_.get() + position_, take)) {
            truncated();
        }
        position_ += take;
        left -= take;
        if (position_ >= kPieceEnd) {
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
        fail("bad codeword lengths in Decompressor");
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
        if (flags(entry) & kInvalid) {
            // Only an incomplete or empty code-length code has patterns without a code.
            fail("bad code in Decompressor");
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
                overrun = "bad data (1) in Decompressor";
            } else if (symbol == 17) {
                repeat = 3 + static_cast<unsigned>(input.bits() & 7);
                input.consume(3);
                overrun = "bad data (2) in Decompressor";
            } else {
                repeat = 11 + static_cast<unsigned>(input.bits() & 127);
                input.consume(7);
                overrun = "bad data (3) in Decompressor";
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

    literals_.build(lengths, literalCount, 257, kLengthBases, kLengthExtras, kLiteralRootBits);
    distances_.build(lengths + literalCount, distanceCount, 0, kDistanceBases, kDistanceExtras,
                     kDistanceRootBits);
    codes(input, output, literals_, distances_);
}

void Decompressor::codes(InflateInput& input, stream::OutputStream& output,
                         const InflateTable& literals, const InflateTable& distances) {
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
        // 48 bits cover the longest length code with its extra bits and the longest distance
        // code with its extra bits.
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
        } else if (kind & (kEndOfBlock | kInvalid)) {
            if (kind & kInvalid) {
                fail("bad code in Decompressor");
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

            entry = distanceEntries[bits & distanceMask];
            if (flags(entry) & kLink) {
                entry = distanceEntries[value(entry) + ((bits >> distanceBits) &
                                                        ((1u << (flags(entry) & kLowMask)) - 1))];
            }
            if (flags(entry) & kInvalid) {
                fail("bad code in Decompressor");
            }
            bits >>= length(entry);
            count -= length(entry);
            const unsigned distanceExtra = flags(entry) & kLowMask;
            const std::uint32_t distance =
                value(entry) + static_cast<std::uint32_t>(bits & ((1u << distanceExtra) - 1));
            bits >>= distanceExtra;
            count -= distanceExtra;

            // The history holds 32,768 bytes, the longest distance there is, so the source is
            // always inside the window.
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
            writePiece(output);
            position = position_;
        }
    }
    position_ = position;
    save();
}

}  // namespace zip
}  // namespace algorithm
