// Lookup tables of the Deflate decoder: one array of 32-bit entries, a root indexed by the next
// rootBits input bits and, behind it, one sub-table for each root pattern that begins longer
// codes. The code-space rules are the table builder's (the same exceptions for overfull codes);
// patterns outside an incomplete or empty code decode as invalid.
#pragma once

#include <cstdint>
#include <vector>

namespace algorithm {
namespace zip {

// An entry is value << 16 | flags << 8 | bits, where bits is how many input bits the entry uses
// up: the code's length, plus the extra bits that follow a length or distance code, so that one
// shift consumes both. For a link the value is the sub-table's offset in the array, bits the root
// width and the low flag bits the sub-table's index width; for a length or distance the value is
// the base and the low flag bits the code's own length (the extra bits sit above it). An invalid
// pattern carries the end-of-block flag, so that the decoder's loop meets it on its rare branch,
// and kInvalid in the bits byte, which tells the two apart there (a code with its extra bits
// takes at most 31 bits).
namespace inflate_entry {
constexpr std::uint32_t kLiteral = 0x80;
constexpr std::uint32_t kEndOfBlock = 0x40;
constexpr std::uint32_t kLink = 0x20;
constexpr std::uint32_t kLowMask = 0x1F;
constexpr std::uint32_t kInvalid = 0x80;

inline unsigned length(std::uint32_t entry) {
    return entry & 0xFF;
}
inline bool invalid(std::uint32_t entry) {
    return (entry & kInvalid) != 0;
}
inline bool literal(std::uint32_t entry) {
    return (entry & (kLiteral << 8)) != 0;
}
inline std::uint32_t flags(std::uint32_t entry) {
    return (entry >> 8) & 0xFF;
}
inline unsigned value(std::uint32_t entry) {
    return entry >> 16;
}
}  // namespace inflate_entry

class InflateTable {
  public:
    // n lengths (at most 288, each at most 15); symbols below s are simple (a literal below 256,
    // end of block from 256 on); symbol v >= s has base bases[v - s] and extras[v - s] extra
    // bits (at most 16), where 99 extra bits marks a symbol that must not occur.
    void build(const unsigned* lengths, unsigned n, unsigned s, const std::uint16_t* bases,
               const std::uint8_t* extras, unsigned rootBits);

    const std::uint32_t* entries() const { return entries_.data(); }
    // The root's width: rootBits as given to build() (at most 12).
    unsigned rootBits() const { return rootBits_; }

    // The entry for the code at the bottom of bits, sub-table resolved.
    std::uint32_t lookup(std::uint64_t bits) const {
        std::uint32_t entry = entries_[bits & ((1u << rootBits_) - 1)];
        if (inflate_entry::flags(entry) & inflate_entry::kLink) {
            entry = linked(entries_.data(), entry, bits);
        }
        return entry;
    }
    // The sub-table entry a link leads to for the code at the bottom of bits.
#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    static std::uint32_t
    linked(const std::uint32_t* entries, std::uint32_t link, std::uint64_t bits) {
        const unsigned width = inflate_entry::flags(link) & inflate_entry::kLowMask;
        return entries[inflate_entry::value(link) +
                       ((bits >> inflate_entry::length(link)) & ((1u << width) - 1))];
    }

  private:
    std::vector<std::uint32_t> entries_;
    unsigned rootBits_ = 0;
};

}  // namespace zip
}  // namespace algorithm
