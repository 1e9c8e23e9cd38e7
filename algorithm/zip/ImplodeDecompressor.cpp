#include "algorithm/zip/ImplodeDecompressor.h"

#include <algorithm>

#include "algorithm/zip/BitInput.h"
#include "algorithm/zip/WindowCopy.h"
#include "base/Exception.h"

namespace algorithm {
namespace zip {

namespace {

constexpr unsigned kLiteralSymbols = 256;
constexpr unsigned kLengthSymbols = 64;
constexpr unsigned kDistanceSymbols = 64;
constexpr int kLiteralLookupBits = 9;
constexpr int kLengthLookupBits = 7;
constexpr int kDistanceLookupBits = 7;

struct Lists {
    std::uint32_t lengthBasesThreeTrees[64];
    std::uint32_t lengthBasesTwoTrees[64];
    std::uint32_t extraBits[64];
    std::uint32_t distanceBases4K[64];
    std::uint32_t distanceBases8K[64];
};

// Length symbol 63 takes eight more bits; the shortest match is 3 bytes with a literal tree
// (a 2-byte match is cheaper as literals there) and 2 without.
Lists makeLists() {
    Lists l{};
    for (std::uint32_t i = 0; i < 64; ++i) {
        l.lengthBasesThreeTrees[i] = 3 + i;
        l.lengthBasesTwoTrees[i] = 2 + i;
        l.extraBits[i] = i == 63 ? 8 : 0;
        l.distanceBases4K[i] = 1 + 64 * i;
        l.distanceBases8K[i] = 1 + 128 * i;
    }
    return l;
}

// Built when the program starts: a namespace-scope object needs no guard against two threads'
// first use, which a function's static would bring.
const Lists built = makeLists();

const Lists& lists() {
    return built;
}

std::uint32_t mask(unsigned n) {
    return (1u << n) - 1u;
}

// Reads n bits; past the end of the input they read as zeros.
unsigned takeBits(PaddingBitInput& bits, unsigned n) {
    unsigned value = static_cast<unsigned>(bits.peekbits(n));
    bits.dumpbits(n);
    return value;
}

}  // namespace

ImplodeDecompressor::ImplodeDecompressor(bool eightKDictionary, bool threeTrees)
    : eightKDictionary_(eightKDictionary), threeTrees_(threeTrees), window_(kWindowSize) {}

void ImplodeDecompressor::reset() {
    size_ = kUnknownSize;
}

// A tree is stored as a count of descriptor bytes less one, then the descriptors: each gives
// (high nibble + 1) copies of the code length (low nibble + 1).
bool ImplodeDecompressor::readTree(stream::InputStream& input, unsigned count,
                                   std::vector<unsigned>& lengths) {
    lengths.assign(count, 0);
    int first = input.get();
    if (first < 0) {
        return false;
    }
    unsigned filled = 0;
    for (int descriptors = first + 1; descriptors > 0; --descriptors) {
        int b = input.get();
        if (b < 0) {
            return false;
        }
        unsigned copies = (static_cast<unsigned>(b) >> 4) + 1;
        unsigned length = (static_cast<unsigned>(b) & 15) + 1;
        if (copies > count - filled) {
            return false;
        }
        std::fill_n(lengths.begin() + filled, copies, length);
        filled += copies;
    }
    return filled == count;
}

// The trees are indexed with the complement of the input bits.
const huft* ImplodeDecompressor::decode(PaddingBitInput& bits, const Tree& tree) {
    unsigned width = static_cast<unsigned>(tree.lookupBits);
    const huft* entry =
        tree.table.get() + (~static_cast<unsigned>(bits.peekbits(width)) & mask(width));
    while (entry->operation > kHuftLiteral) {
        if (entry->operation == kHuftInvalid) {
            return nullptr;
        }
        bits.dumpbits(entry->bits);
        width = entry->operation - kHuftLiteral;
        entry = entry->link + (~static_cast<unsigned>(bits.peekbits(width)) & mask(width));
    }
    bits.dumpbits(entry->bits);
    return entry;
}

void ImplodeDecompressor::flushWindow() {
    output_->write(window_.data(), position_);
    written_ += position_;
    position_ = 0;
    firstWindow_ = false;
}

void ImplodeDecompressor::advance(unsigned count) {
    position_ += count;
    if (position_ == kWindowSize) {
        flushWindow();
    }
}

// False when a pattern that is no code stops decoding; the window since its last write out is
// then dropped, and the short result fails the entry's CRC check.
bool ImplodeDecompressor::decodeData(PaddingBitInput& bits, const Tree& literals,
                                     const Tree& lengths, const Tree& distances) {
    const unsigned lowBits = eightKDictionary_ ? 7 : 6;
    std::uint64_t remaining = size_;
    while (remaining > 0) {
        // A failed read at the end of the input (-1) also counts as a literal.
        if (bits.getbit() != 0) {
            unsigned byte;
            if (threeTrees_) {
                const huft* entry = decode(bits, literals);
                if (entry == nullptr) {
                    return false;
                }
                byte = entry->value;
            } else {
                byte = takeBits(bits, 8);
            }
            window_[position_] = static_cast<std::uint8_t>(byte);
            --remaining;
            advance(1);
            continue;
        }

        unsigned low = takeBits(bits, lowBits);
        const huft* high = decode(bits, distances);
        if (high == nullptr) {
            return false;
        }
        unsigned distance = high->value + low;
        const huft* lengthEntry = decode(bits, lengths);
        if (lengthEntry == nullptr) {
            return false;
        }
        unsigned length = lengthEntry->value;
        if (lengthEntry->operation != 0) {
            length += takeBits(bits, lengthEntry->operation);
        }
        remaining -= std::min<std::uint64_t>(remaining, length);

        // Pieces end at the window's end on either side. Before the first window is written
        // out, a source before the start of the output reads as zeros.
        unsigned source = (position_ + kWindowSize - distance % kWindowSize) % kWindowSize;
        while (length > 0) {
            unsigned piece = copyWindowPiece(window_, source, position_, length, firstWindow_);
            length -= piece;
            source = (source + piece) % kWindowSize;
            advance(piece);
        }
    }
    return true;
}

std::uint64_t ImplodeDecompressor::process(stream::InputStream& input,
                                           stream::OutputStream& output) {
    if (size_ == kUnknownSize) {
        throw Exception(
            "algorithm::zip::ImplodeDecompressor::process() requires uncompressed data size");
    }
    const Lists& l = lists();
    std::vector<unsigned> lengths;
    Tree literals;
    Tree lengthTree;
    Tree distances;

    // A stored tree that does not give exactly its number of lengths produces nothing; the
    // entry's CRC check then rejects it.
    if (threeTrees_) {
        if (!readTree(input, kLiteralSymbols, lengths)) {
            return 0;
        }
        literals.lookupBits = kLiteralLookupBits;
        huft_build(lengths.data(), kLiteralSymbols, kLiteralSymbols, nullptr, nullptr,
                   literals.table.reset(), literals.lookupBits);
    }
    if (!readTree(input, kLengthSymbols, lengths)) {
        return 0;
    }
    lengthTree.lookupBits = kLengthLookupBits;
    huft_build(lengths.data(), kLengthSymbols, 0,
               threeTrees_ ? l.lengthBasesThreeTrees : l.lengthBasesTwoTrees, l.extraBits,
               lengthTree.table.reset(), lengthTree.lookupBits);
    if (!readTree(input, kDistanceSymbols, lengths)) {
        return 0;
    }
    distances.lookupBits = kDistanceLookupBits;
    huft_build(lengths.data(), kDistanceSymbols, 0,
               eightKDictionary_ ? l.distanceBases8K : l.distanceBases4K, l.extraBits,
               distances.table.reset(), distances.lookupBits);

    PaddingBitInput bits(input);
    output_ = &output;
    written_ = 0;
    position_ = 0;
    firstWindow_ = true;
    if (decodeData(bits, literals, lengthTree, distances)) {
        flushWindow();
    }
    output_ = nullptr;
    output.flush();
    return written_;
}

}  // namespace zip
}  // namespace algorithm
