#include "algorithm/zip/Decompressor.h"

#include <cstring>
#include <string>

#include "algorithm/zip/InflateFast.h"
#include "algorithm/zip/InflateFormat.h"
#include "algorithm/zip/InflateInput.h"
#include "base/Exception.h"

namespace algorithm {
namespace zip {

namespace {

using namespace inflate_entry;

constexpr unsigned kCodeLengthRootBits = 7;
// The history and the pieces after it: a multiple of both formats' windows.
constexpr std::uint32_t kSpan = 262144;

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

// History, then the pieces being decoded, then room for the longest match plus the steps in
// which matches are copied.
Decompressor::Decompressor(const InflateFormat& format)
    : format_(format), window_(new std::uint8_t[kSpan + format.longestMatch + kCopySlack]) {}

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
    pieceEnd_ = 2 * piece;

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
    if (position_ > pieceEnd_ - piece) {
        output.write(window_.get() + pieceEnd_ - piece, position_ - (pieceEnd_ - piece));
    }
    output.flush();
    bits.giveBack();
    return output.tell() - start;
}

void Decompressor::writePiece(stream::OutputStream& output) {
    const std::uint32_t piece = format_.window;
    const std::uint32_t start = pieceEnd_ - piece;
    output.write(window_.get() + start, piece);
    if (pieceEnd_ < kSpan) {
        pieceEnd_ += piece;
    } else {
        // The piece just written becomes the history; what was decoded past it follows.
        std::memmove(window_.get(), window_.get() + start, position_ - start);
        position_ -= start;
        pieceEnd_ = 2 * piece;
    }
}

void Decompressor::stored(InflateInput& input, stream::OutputStream& output) {
    input.align();
    int length = input.getbits(16);
    int check = input.getbits(16);
    if (length < 0 || check < 0 || length != (~check & 0xFFFF)) {
        fail("error in compressed data");
    }
    std::uint32_t left = static_cast<std::uint32_t>(length);
    while (left > 0) {
        std::uint32_t take = pieceEnd_ - position_;
        if (take > left) {
            take = left;
        }
        if (!input.copyBytes(window_.get() + position_, take)) {
            truncated();
        }
        position_ += take;
        left -= take;
        if (position_ >= pieceEnd_) {
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
    // The fast loop is compiled once for each format, so that Deflate's pays nothing for
    // Deflate64; the careful steps, rarely run, are one code for both.
    const bool deflate64 = format_.longLengths;
    // The bit buffer lives in locals here: the window stores would otherwise make the compiler
    // reload it from memory after every byte. The top padding of the count bits are zeros past
    // the end of the input.
    InflateRegisters r = {input.bits_, input.count_, input.next_, input.end_,
                          window_.get() + position_};
    unsigned padding = input.padding_;
    auto save = [&] {
        input.bits_ = r.bits & InflateInput::mask(r.count);
        input.count_ = r.count;
        input.next_ = r.next;
    };
    // At least 49 bits afterwards, from wherever they are.
    auto refill = [&] {
        if (r.end - r.next >= 8) {
            r.bits |= InflateInput::load(r.next) << r.count;
            r.next += (63 - r.count) >> 3;
            r.count |= 56;
        } else {
            save();
            input.refillSlowly();
            r.bits = input.bits_;
            r.count = input.count_;
            r.next = input.next_;
            r.end = input.end_;
            padding = input.padding_;
        }
    };
    auto consume = [&](std::uint32_t entry) {
        r.bits >>= length(entry) & 63;
        r.count -= length(entry);
    };
    // The base plus the extra bits of a length or distance entry; consumes both.
    auto extra = [&](std::uint32_t entry) {
        const std::uint32_t base = value(entry);
        const std::uint64_t field = r.bits & InflateInput::mask(length(entry));
        consume(entry);
        return base + static_cast<std::uint32_t>(field >> (flags(entry) & kLowMask));
    };

    std::uint8_t* const window = window_.get();
    std::uint8_t* pieceEnd = window + pieceEnd_;
    for (;;) {
        if (r.end - r.next >= kFastInput && r.out < pieceEnd) {
            // Far from the end of the input's memory, padding is zero: the input has not ended.
            const FastStop stop =
                deflate64
                    ? inflateFast<true>(r, pieceEnd, literals.entries(), distances.entries())
                    : inflateFast<false>(r, pieceEnd, literals.entries(), distances.entries());
            if (stop == FastStop::kBadCode) {
                fail("bad code");
            }
            if (stop == FastStop::kEndOfBlock) {
                break;
            }
        }
        if (r.out < pieceEnd) {
            // Near the end of the input's memory: one code at a time, each refill checked, zero
            // bits past the end counted.
            if (r.count < 48) {
                refill();
            }
            std::uint32_t entry = literals.lookup(r.bits);
            if (literal(entry)) {
                consume(entry);
                *r.out++ = static_cast<std::uint8_t>(value(entry));
            } else if (flags(entry) & kEndOfBlock) {
                if (invalid(entry)) {
                    fail("bad code");
                }
                consume(entry);
                if (r.count < padding) {
                    truncated();
                }
                break;
            } else {
                const std::uint32_t matchLength = extra(entry);
                if (deflate64 && r.count < 29) {
                    // Deflate64's length takes up to 31 bits; a distance needs up to 29 more.
                    refill();
                }
                entry = distances.lookup(r.bits);
                if (invalid(entry)) {
                    fail("bad code");
                }
                copyMatch(r.out, extra(entry), matchLength);
                r.out += matchLength;
            }
            if (r.count < padding) {
                truncated();
            }
        }
        if (r.out >= pieceEnd) {
            position_ = static_cast<std::uint32_t>(r.out - window);
            // Only a Deflate64 match can be longer than a piece.
            do {
                writePiece(output);
            } while (deflate64 && position_ >= pieceEnd_);
            r.out = window + position_;
            pieceEnd = window + pieceEnd_;
        }
    }
    position_ = static_cast<std::uint32_t>(r.out - window);
    save();
}

}  // namespace zip
}  // namespace algorithm
