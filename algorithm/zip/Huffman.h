// Multi-level lookup tables for canonical prefix codes, shared by the Inflate and Implode
// decoders: a decoder indexes the root table with the next bits of its input (least significant
// bit first) and follows links into sub-tables for codes longer than the root's index.
#pragma once

#include <cstdint>

namespace algorithm {
namespace zip {

// One table entry. operation: 0..14 extra-bit count of a non-simple symbol (value is its base),
// 15 end of block, 16 literal (value is the byte), 17..31 link to a sub-table indexed by
// (operation - 16) further bits, 99 no such code. bits: input bits the entry consumes.
struct huft {
    std::uint8_t operation;
    std::uint8_t bits;
    union {
        std::uint16_t value;
        huft* link;
    };
};

constexpr std::uint8_t kHuftEndOfBlock = 15;
constexpr std::uint8_t kHuftLiteral = 16;
constexpr std::uint8_t kHuftInvalid = 99;
constexpr unsigned kHuftMaxSymbols = 288;
constexpr unsigned kHuftMaxLength = 16;

// Builds the tables of the code whose symbol i has code length lengths[i] (0: no code), for
// n <= 288 symbols. Symbols below s are simple (literal below 256, end of block from 256 on);
// symbol v >= s gets operation extras[v - s] and value bases[v - s]. On entry lookupBits is the
// root index width wanted, on return the width actually used. table receives the root table, or
// nullptr (with lookupBits 0) when every length is zero; the caller releases it with
// huft_release. Throws algorithm::Exception for codes that overfill the code space, before
// anything is allocated. Codes that leave patterns free are accepted: those patterns become
// operation-99 entries.
void huft_build(const unsigned* lengths, unsigned n, unsigned s, const std::uint32_t* bases,
                const std::uint32_t* extras, huft*& table, int& lookupBits);

// The code-space check of huft_build on its own, for decoders that lay out their tables
// themselves: count[j] is the number of codes of length j for j = 1..16 (count[0] is ignored).
// Throws what huft_build throws for overfull codes; otherwise returns how many patterns of the
// longest length are left free (0 for a complete code, and when there are no codes).
unsigned huft_check(const unsigned* count);

// Frees every table of the chain that starts at the given root table; nullptr is accepted.
void huft_release(huft* table);

// Owns one root table chain and releases it when it goes.
class HuftChain {
  public:
    HuftChain() = default;
    HuftChain(const HuftChain&) = delete;
    HuftChain& operator=(const HuftChain&) = delete;
    ~HuftChain() { huft_release(root_); }

    // Releases what is held and offers the slot for huft_build's table argument.
    huft*& reset() {
        huft_release(root_);
        root_ = nullptr;
        return root_;
    }
    const huft* get() const { return root_; }
    explicit operator bool() const { return root_ != nullptr; }

  private:
    huft* root_ = nullptr;
};

}  // namespace zip
}  // namespace algorithm
