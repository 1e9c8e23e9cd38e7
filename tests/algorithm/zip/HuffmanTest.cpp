// The table builder: code-space checks, table shapes, and that every code resolves to its
// symbol through the tables exactly as the canonical code assigns it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "algorithm/zip/Huffman.h"
#include "InflateTestSupport.h"
#include "base/Exception.h"

using algorithm::zip::huft;
using algorithm::zip::huft_build;
using algorithm::zip::HuftChain;
using inflatetest::canonicalCodes;

namespace {

struct Resolved {
    const huft* entry;
    unsigned bits;  // bits consumed from the root on
};

// Follows links as a decoder does; `input` holds the next bits, first bit lowest.
Resolved resolve(const huft* root, int lookupBits, std::uint32_t input) {
    const huft* entry = &root[input & ((1u << lookupBits) - 1)];
    unsigned used = 0;
    while (entry->operation > 16 && entry->operation != algorithm::zip::kHuftInvalid) {
        used += entry->bits;
        unsigned width = entry->operation - 16u;
        entry = &entry->link[(input >> used) & ((1u << width) - 1)];
    }
    return {entry, used + entry->bits};
}

std::uint32_t reversed(std::uint32_t code, unsigned length) {
    std::uint32_t r = 0;
    for (unsigned i = 0; i < length; ++i) {
        r = (r << 1) | ((code >> i) & 1);
    }
    return r;
}

// Every symbol with a code resolves to itself with its own length, whatever bits follow, and
// nothing else resolves to a symbol.
void expectDecodesAll(const std::vector<unsigned>& lengths, int requestedBits) {
    SCOPED_TRACE("requested " + std::to_string(requestedBits) + " bits");
    HuftChain chain;
    int bits = requestedBits;
    huft_build(lengths.data(), static_cast<unsigned>(lengths.size()),
               static_cast<unsigned>(lengths.size()), nullptr, nullptr, chain.reset(), bits);
    ASSERT_TRUE(chain);
    std::vector<std::uint32_t> codes = canonicalCodes(lengths);
    std::uint32_t tails[] = {0u, 0xFFFFFFFFu, 0xA5A5A5A5u};
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        unsigned length = lengths[symbol];
        if (length == 0) {
            continue;
        }
        for (std::uint32_t tail : tails) {
            std::uint32_t input = reversed(codes[symbol], length) | (tail << length);
            Resolved r = resolve(chain.get(), bits, input);
            ASSERT_EQ(r.bits, length) << "symbol " << symbol;
            ASSERT_EQ(r.entry->value, symbol);
            ASSERT_EQ(r.entry->operation, symbol < 256 ? 16 : 15);
        }
    }
}

struct Lcg {
    std::uint32_t state;
    std::uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

// Random lengths up to maxLength that never overfill the code space; complete when asked.
std::vector<unsigned> randomLengths(Lcg& rng, unsigned n, unsigned maxLength, bool complete) {
    std::vector<unsigned> lengths(n, 0);
    std::uint64_t space = 1ull << maxLength;  // free code space in units of 2^-maxLength
    for (unsigned i = 0; i < n && space > 0; ++i) {
        if (rng.next() % 4 == 0) {
            continue;
        }
        unsigned l = 1 + rng.next() % maxLength;
        while ((1ull << (maxLength - l)) > space) {
            ++l;
        }
        lengths[i] = l;
        space -= 1ull << (maxLength - l);
    }
    if (complete) {
        // Hand what is left to unused symbols as a run of ever shorter codes.
        for (unsigned i = 0; i < n && space > 0; ++i) {
            if (lengths[i] != 0) {
                continue;
            }
            unsigned l = 1;
            while ((1ull << (maxLength - l)) > space) {
                ++l;
            }
            lengths[i] = l;
            space -= 1ull << (maxLength - l);
        }
    }
    return lengths;
}

const std::vector<unsigned> kFixedLiteralLengths = [] {
    std::vector<unsigned> l(288);
    for (unsigned i = 0; i < 288; ++i) {
        l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    }
    return l;
}();

}  // namespace

TEST(HuftBuild, AllLengthsZeroGiveNoTable) {
    std::vector<unsigned> lengths(19, 0);
    HuftChain chain;
    int bits = 7;
    huft_build(lengths.data(), 19, 19, nullptr, nullptr, chain.reset(), bits);
    EXPECT_FALSE(chain);
    EXPECT_EQ(bits, 0);
}

TEST(HuftBuild, SingleOneBitCodeLeavesTheOtherPatternInvalid) {
    std::vector<unsigned> lengths(30, 0);
    lengths[3] = 1;
    std::vector<std::uint32_t> bases(30), extras(30);
    for (unsigned i = 0; i < 30; ++i) {
        bases[i] = 100 + i;
        extras[i] = i % 14;
    }
    HuftChain chain;
    int bits = 6;
    huft_build(lengths.data(), 30, 0, bases.data(), extras.data(), chain.reset(), bits);
    ASSERT_TRUE(chain);
    EXPECT_EQ(bits, 1);
    EXPECT_EQ(chain.get()[0].operation, 3);
    EXPECT_EQ(chain.get()[0].value, 103);
    EXPECT_EQ(chain.get()[0].bits, 1);
    EXPECT_EQ(chain.get()[1].operation, 99);
}

TEST(HuftBuild, OverfullCodesThrowBeforeTouchingTheTable) {
    struct Case {
        std::vector<unsigned> lengths;
        const char* message;
    } cases[] = {
        {{1, 1, 1, 2}, "algorithm::zip::huft_build(): bad input, more codes than bits"},
        {{1, 1, 1}, "algorithm::zip::huft_build(): short input"},
        {{2, 2, 2, 2, 2}, "algorithm::zip::huft_build(): short input"},
        {{3, 3, 3, 3, 3, 3, 3, 3, 3, 9},
         "algorithm::zip::huft_build(): bad input, more codes than bits"},
    };
    for (const Case& c : cases) {
        huft sentinel{};
        huft* table = &sentinel;
        int bits = 7;
        try {
            huft_build(c.lengths.data(), static_cast<unsigned>(c.lengths.size()),
                       static_cast<unsigned>(c.lengths.size()), nullptr, nullptr, table, bits);
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const algorithm::Exception& e) {
            EXPECT_EQ(e.message(), c.message);
            EXPECT_EQ(e.kind(), "algorithm");
        }
        EXPECT_EQ(table, &sentinel);
        EXPECT_EQ(bits, 7);
    }
}

TEST(HuftBuild, FixedLiteralCodeHasSevenBitRootAndSubTables) {
    std::vector<std::uint32_t> bases(31), extras(31);
    for (unsigned i = 0; i < 31; ++i) {
        bases[i] = 3 + i;
        extras[i] = i < 29 ? i % 6 : 99;
    }
    HuftChain chain;
    int bits = 7;
    huft_build(kFixedLiteralLengths.data(), 288, 257, bases.data(), extras.data(), chain.reset(),
               bits);
    ASSERT_TRUE(chain);
    EXPECT_EQ(bits, 7);
    std::vector<std::uint32_t> codes = canonicalCodes(kFixedLiteralLengths);
    unsigned linked = 0;
    for (unsigned i = 0; i < 128; ++i) {
        linked += chain.get()[i].operation > 16 ? 1 : 0;
    }
    EXPECT_GT(linked, 0u);
    for (unsigned symbol = 0; symbol < 288; ++symbol) {
        unsigned length = kFixedLiteralLengths[symbol];
        Resolved r = resolve(chain.get(), bits, reversed(codes[symbol], length));
        ASSERT_EQ(r.bits, length) << symbol;
        if (symbol < 256) {
            EXPECT_EQ(r.entry->operation, 16);
            EXPECT_EQ(r.entry->value, symbol);
        } else if (symbol == 256) {
            EXPECT_EQ(r.entry->operation, 15);
            EXPECT_EQ(r.entry->value, 256);
            // The end-of-block code ends in the root table itself.
            EXPECT_EQ(chain.get()[reversed(codes[256], 7)].bits, 7);
        } else {
            EXPECT_EQ(r.entry->operation, extras[symbol - 257]) << symbol;
            EXPECT_EQ(r.entry->value, bases[symbol - 257]);
        }
    }
}

TEST(HuftBuild, FixedDistanceCodeIsOneTableWithTwoInvalidCodes) {
    std::vector<unsigned> lengths(30, 5);
    std::vector<std::uint32_t> bases(30), extras(30);
    for (unsigned i = 0; i < 30; ++i) {
        bases[i] = 1000 + i;
        extras[i] = i / 2;
    }
    HuftChain chain;
    int bits = 5;
    huft_build(lengths.data(), 30, 0, bases.data(), extras.data(), chain.reset(), bits);
    ASSERT_TRUE(chain);
    EXPECT_EQ(bits, 5);
    for (unsigned code = 0; code < 32; ++code) {
        const huft& e = chain.get()[reversed(code, 5)];
        EXPECT_EQ(e.bits, 5);
        if (code < 30) {
            EXPECT_EQ(e.operation, code / 2);
            EXPECT_EQ(e.value, 1000 + code);
        } else {
            EXPECT_EQ(e.operation, 99) << code;
        }
    }
}

TEST(HuftBuild, LookupBitsAreClampedToTheCodeLengths) {
    std::vector<unsigned> lengths = {3, 3, 3, 3, 3, 4, 4, 5, 5, 5, 6, 6};
    struct Case {
        int requested;
        int expected;
    } cases[] = {{1, 3}, {3, 3}, {5, 5}, {6, 6}, {7, 6}, {16, 6}, {-1, 6}};
    for (const Case& c : cases) {
        HuftChain chain;
        int bits = c.requested;
        huft_build(lengths.data(), static_cast<unsigned>(lengths.size()),
                   static_cast<unsigned>(lengths.size()), nullptr, nullptr, chain.reset(), bits);
        EXPECT_EQ(bits, c.expected) << "requested " << c.requested;
        expectDecodesAll(lengths, c.requested);
    }
}

TEST(HuftBuild, RandomCodesResolveToTheirCanonicalSymbols) {
    Lcg rng{12345};
    for (int round = 0; round < 200; ++round) {
        unsigned n = 2 + rng.next() % 287;
        unsigned maxLength = 1 + rng.next() % 16;
        bool complete = round % 2 == 0;
        std::vector<unsigned> lengths = randomLengths(rng, n, maxLength, complete);
        SCOPED_TRACE("round " + std::to_string(round));
        bool any = false;
        for (unsigned l : lengths) {
            any = any || l != 0;
        }
        if (!any) {
            continue;
        }
        for (int requested : {1, 5, 7, 9, 12}) {
            expectDecodesAll(lengths, requested);
        }
    }
}

TEST(HuftBuild, LongCodesNeedSeveralLevels) {
    // Lengths 1, 2, ..., 15, 16, 16: a complete code whose longest codes lie 15 bits below a
    // one-bit root.
    std::vector<unsigned> lengths;
    for (unsigned l = 1; l <= 16; ++l) {
        lengths.push_back(l);
    }
    lengths.push_back(16);
    for (int requested : {1, 2, 9}) {
        expectDecodesAll(lengths, requested);
    }
}

TEST(HuftBuild, PatternsOutsideAnIncompleteCodeAreInvalid) {
    std::vector<unsigned> lengths = {2, 0, 3, 9, 9};
    HuftChain chain;
    int bits = 9;
    huft_build(lengths.data(), 5, 5, nullptr, nullptr, chain.reset(), bits);
    ASSERT_TRUE(chain);
    std::vector<std::uint32_t> codes = canonicalCodes(lengths);
    unsigned valid = 0;
    for (std::uint32_t input = 0; input < (1u << 9); ++input) {
        Resolved r = resolve(chain.get(), bits, input);
        if (r.entry->operation != 99) {
            ++valid;
            unsigned symbol = r.entry->value;
            EXPECT_EQ(input & ((1u << lengths[symbol]) - 1),
                      reversed(codes[symbol], lengths[symbol]));
        }
    }
    // 2-bit code: 128 of 512 patterns, 3-bit: 64, each 9-bit code: 1.
    EXPECT_EQ(valid, 128u + 64u + 2u);
}
