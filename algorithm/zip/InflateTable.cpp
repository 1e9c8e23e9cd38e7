#include "algorithm/zip/InflateTable.h"

#include "algorithm/zip/Huffman.h"

namespace algorithm {
namespace zip {

namespace {

constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kMaxRootBits = 12;

std::uint32_t makeEntry(unsigned value, std::uint32_t flags, unsigned length) {
    return (static_cast<std::uint32_t>(value) << 16) | (flags << 8) | length;
}

std::uint32_t reverse(std::uint32_t code, unsigned length) {
    std::uint32_t r = 0;
    for (unsigned i = 0; i < length; ++i) {
        r = (r << 1) | (code & 1);
        code >>= 1;
    }
    return r;
}

}  // namespace

void InflateTable::build(const unsigned* lengths, unsigned n, unsigned s,
                         const std::uint16_t* bases, const std::uint8_t* extras,
                         unsigned rootBits) {
    using namespace inflate_entry;

    unsigned count[kHuftMaxLength + 1] = {};
    for (unsigned i = 0; i < n; ++i) {
        ++count[lengths[i]];
    }
    huft_check(count);

    // The root keeps its full width even when every code is shorter (its entries repeat): the
    // decoder then indexes it with a constant mask.
    rootBits_ = rootBits < kMaxRootBits ? rootBits : kMaxRootBits;
    const unsigned rootSize = 1u << rootBits_;

    // Canonical codes, bit-reversed so that they index the tables directly.
    std::uint32_t nextCode[kMaxCodeLength + 2] = {};
    std::uint32_t code = 0;
    for (unsigned bits = 1; bits <= kMaxCodeLength; ++bits) {
        code = (code + count[bits - 1] * (bits > 1 ? 1u : 0u)) << 1;
        nextCode[bits] = code;
    }
    std::uint32_t reversed[kHuftMaxSymbols];
    for (unsigned i = 0; i < n; ++i) {
        if (lengths[i] != 0) {
            reversed[i] = reverse(nextCode[lengths[i]]++, lengths[i]);
        }
    }

    const std::uint32_t invalid = makeEntry(0, kEndOfBlock, kInvalid);
    entries_.assign(rootSize, invalid);

    // Each root pattern that begins longer codes gets a sub-table as wide as its longest code
    // needs beyond the root.
    unsigned char width[1u << kMaxRootBits] = {};
    for (unsigned i = 0; i < n; ++i) {
        if (lengths[i] > rootBits_) {
            unsigned char& w = width[reversed[i] & (rootSize - 1)];
            if (lengths[i] - rootBits_ > w) {
                w = static_cast<unsigned char>(lengths[i] - rootBits_);
            }
        }
    }
    for (unsigned pattern = 0; pattern < rootSize; ++pattern) {
        if (width[pattern] != 0) {
            unsigned offset = static_cast<unsigned>(entries_.size());
            entries_[pattern] = makeEntry(offset, kLink | width[pattern], rootBits_);
            entries_.resize(offset + (1u << width[pattern]), invalid);
        }
    }

    for (unsigned i = 0; i < n; ++i) {
        const unsigned length = lengths[i];
        if (length == 0) {
            continue;
        }
        std::uint32_t entry;
        if (i < s) {
            entry = makeEntry(i, i < 256 ? kLiteral : kEndOfBlock, length);
        } else if (extras[i - s] == 99) {
            entry = invalid;
        } else {
            entry = makeEntry(bases[i - s], length, length + extras[i - s]);
        }
        if (length <= rootBits_) {
            for (unsigned index = reversed[i]; index < rootSize; index += 1u << length) {
                entries_[index] = entry;
            }
        } else {
            std::uint32_t link = entries_[reversed[i] & (rootSize - 1)];
            const unsigned base = value(link);
            const unsigned size = 1u << (flags(link) & kLowMask);
            for (unsigned index = reversed[i] >> rootBits_; index < size;
                 index += 1u << (length - rootBits_)) {
                entries_[base + index] = entry;
            }
        }
    }
}

}  // namespace zip
}  // namespace algorithm
