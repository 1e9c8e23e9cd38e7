#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algorithm/zip/ImplodeDecompressor.h"
#include "base/Exception.h"
#include "tests/algorithm/zip/LegacyTestSupport.h"
#include "stream/MemoryStream.h"

namespace {

using legacytest::BitWriter;

// A Shannon-Fano tree as the compressor stores it and codes with it.
class Tree {
  public:
    explicit Tree(std::vector<unsigned> lengths) : lengths_(std::move(lengths)) {}
    static Tree uniform(unsigned symbols, unsigned length) {
        return Tree(std::vector<unsigned>(symbols, length));
    }

    // Descriptor count less one, then one byte per run of up to 16 equal lengths.
    void store(std::vector<std::uint8_t>& out) const {
        std::vector<std::uint8_t> runs;
        for (std::size_t i = 0; i < lengths_.size();) {
            std::size_t n = 1;
            while (i + n < lengths_.size() && n < 16 && lengths_[i + n] == lengths_[i]) {
                ++n;
            }
            runs.push_back(static_cast<std::uint8_t>((n - 1) << 4 | (lengths_[i] - 1)));
            i += n;
        }
        out.push_back(static_cast<std::uint8_t>(runs.size() - 1));
        out.insert(out.end(), runs.begin(), runs.end());
    }

    // Canonical codes (shorter first, by symbol within a length), written first bit first and
    // inverted, as the decoder indexes its tables with the complement of the input bits.
    void put(BitWriter& w, unsigned symbol) const {
        unsigned code = 0;
        unsigned length = lengths_[symbol];
        for (unsigned len = 1; len <= 16; ++len) {
            for (unsigned s = 0; s < lengths_.size(); ++s) {
                if (lengths_[s] != len) {
                    continue;
                }
                if (s == symbol) {
                    for (unsigned j = length; j-- > 0;) {
                        w.put(((code >> j) & 1) ^ 1, 1);
                    }
                    return;
                }
                ++code;
            }
            code <<= 1;
        }
    }

  private:
    std::vector<unsigned> lengths_;
};

// A stream with literal, length and distance trees of uniform code lengths (8, 6, 6 bits).
struct Stream {
    bool eightK;
    bool threeTrees;
    Tree literals = Tree::uniform(256, 8);
    Tree lengths = Tree::uniform(64, 6);
    Tree distances = Tree::uniform(64, 6);
    BitWriter bits;

    Stream(bool eightK, bool threeTrees) : eightK(eightK), threeTrees(threeTrees) {}

    Stream& literal(std::uint8_t byte) {
        bits.put(1, 1);
        if (threeTrees) {
            literals.put(bits, byte);
        } else {
            bits.put(byte, 8);
        }
        return *this;
    }
    // length symbol 63 takes extra, 8 more bits.
    Stream& match(unsigned distance, unsigned lengthSymbol, unsigned extra = 0) {
        unsigned lowBits = eightK ? 7 : 6;
        unsigned d = distance - 1;
        bits.put(0, 1).put(d & ((1u << lowBits) - 1), lowBits);
        distances.put(bits, d >> lowBits);
        lengths.put(bits, lengthSymbol);
        if (lengthSymbol == 63) {
            bits.put(extra, 8);
        }
        return *this;
    }
    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> out;
        if (threeTrees) {
            literals.store(out);
        }
        lengths.store(out);
        distances.store(out);
        auto data = bits.bytes();
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }
};

std::string explode(bool eightK, bool threeTrees, const std::vector<std::uint8_t>& data,
                    std::uint64_t size) {
    stream::MemoryInput in(data);
    stream::MemoryOutput out;
    algorithm::zip::ImplodeDecompressor decoder(eightK, threeTrees);
    decoder.reset();
    decoder.setSize(size);
    std::uint64_t produced = decoder.process(in, out);
    decoder.finish();
    EXPECT_EQ(produced, out.data().size());
    return out.text();
}

std::string explode(const Stream& s, std::uint64_t size) {
    return explode(s.eightK, s.threeTrees, s.bytes(), size);
}

struct Variant {
    bool eightK;
    bool threeTrees;
};

class ImplodeVariants : public testing::TestWithParam<Variant> {};

TEST_P(ImplodeVariants, LiteralsAndOverlappingMatch) {
    Stream s(GetParam().eightK, GetParam().threeTrees);
    s.literal('a').literal('b').match(2, 1);
    unsigned minimum = GetParam().threeTrees ? 3 : 2;
    std::string expected = "ab";
    for (unsigned i = 0; i < minimum + 1; ++i) {
        expected += expected[expected.size() - 2];
    }
    EXPECT_EQ(explode(s, expected.size()), expected);
}

// The distance is the tree's high part plus 6 (4K) or 7 (8K) low bits.
TEST_P(ImplodeVariants, LongestDistance) {
    Stream s(GetParam().eightK, GetParam().threeTrees);
    unsigned window = GetParam().eightK ? 8192 : 4096;
    std::string expected;
    for (unsigned i = 0; i < window; ++i) {
        char ch = static_cast<char>('a' + i % 23);
        s.literal(static_cast<std::uint8_t>(ch));
        expected += ch;
    }
    s.match(window, 0);
    unsigned minimum = GetParam().threeTrees ? 3 : 2;
    expected += expected.substr(0, minimum);
    EXPECT_EQ(explode(s, expected.size()), expected);
}

// Symbol 63 adds 8 bits: 2 + 63 + 255 = 320 bytes at most with two trees, 321 with three.
TEST_P(ImplodeVariants, LengthSymbol63TakesEightMoreBits) {
    Stream s(GetParam().eightK, GetParam().threeTrees);
    s.literal('x').match(1, 63, 255);
    std::size_t length = (GetParam().threeTrees ? 3 : 2) + 63 + 255;
    EXPECT_EQ(explode(s, 1 + length), std::string(1 + length, 'x'));
}

// A match reaching before the first output byte, before any window is written, gives zeros.
TEST_P(ImplodeVariants, EarlyMatchGivesZeros) {
    Stream s(GetParam().eightK, GetParam().threeTrees);
    s.literal('x').match(100, 2).literal('y');
    unsigned length = (GetParam().threeTrees ? 3 : 2) + 2;
    std::string expected = "x" + std::string(length, '\0') + "y";
    EXPECT_EQ(explode(s, expected.size()), expected);
}

TEST_P(ImplodeVariants, SizeZeroDecodesNothing) {
    Stream s(GetParam().eightK, GetParam().threeTrees);
    s.literal('x');
    EXPECT_EQ(explode(s, 0), "");
}

// Past the end of the input the bits read as zeros, and decoding still ends at the size.
TEST_P(ImplodeVariants, InputEndingEarlyStillEndsAtTheSize) {
    Stream s(GetParam().eightK, GetParam().threeTrees);
    s.literal('q');
    std::string out = explode(s, 1000);
    ASSERT_GE(out.size(), 1000u);
    EXPECT_LT(out.size(), 1000u + 321u);
    EXPECT_EQ(out[0], 'q');
}

INSTANTIATE_TEST_SUITE_P(Implode, ImplodeVariants,
                         testing::Values(Variant{false, false}, Variant{false, true},
                                         Variant{true, false}, Variant{true, true}),
                         [](const testing::TestParamInfo<Variant>& info) {
                             return std::string(info.param.eightK ? "8K" : "4K") +
                                    (info.param.threeTrees ? "ThreeTrees" : "TwoTrees");
                         });

TEST(Implode, ProcessRequiresTheSize) {
    algorithm::zip::ImplodeDecompressor decoder(false, false);
    Stream s(false, false);
    s.literal('a');
    for (int round = 0; round < 2; ++round) {
        stream::MemoryInput in(s.bytes());
        stream::MemoryOutput out;
        try {
            decoder.process(in, out);
            ADD_FAILURE() << "no exception in round " << round;
        } catch (const algorithm::Exception& ex) {
            EXPECT_EQ(ex.kind(), "algorithm");
            EXPECT_EQ(ex.message(),
                      "algorithm::zip::ImplodeDecompressor::process() requires uncompressed data "
                      "size");
        }
        // A size set for one entry does not carry over a reset.
        decoder.setSize(1);
        stream::MemoryInput again(s.bytes());
        EXPECT_EQ(decoder.process(again, out), 1u);
        decoder.reset();
        EXPECT_EQ(decoder.size(), algorithm::kUnknownSize);
    }
}

TEST(Implode, TreeDescriptors) {
    // Lengths: 64 of 6 as four descriptors 0xF5 (16 copies of 6 each); then 64 of 16 as sixteen
    // descriptors 0x3F (4 copies of 16 each), an incomplete but valid code.
    std::vector<std::uint8_t> data = {3, 0xF5, 0xF5, 0xF5, 0xF5, 15};
    data.insert(data.end(), 16, 0x3F);
    BitWriter w;
    w.put(1, 1).put('k', 8);
    auto bits = w.bytes();
    data.insert(data.end(), bits.begin(), bits.end());
    EXPECT_EQ(explode(false, false, data, 1), "k");
}

TEST(Implode, BadTreesProduceNothing) {
    struct Bad {
        const char* what;
        std::vector<std::uint8_t> data;
    };
    const Bad cases[] = {
        {"empty input", {}},
        {"too few lengths", {0, 0xF5, 3, 0xF5, 0xF5, 0xF5, 0xF5}},
        {"a run past the end", {4, 0xF5, 0xF5, 0xF5, 0xF5, 0x05}},
        {"descriptors cut off", {3, 0xF5, 0xF5}},
    };
    for (const Bad& bad : cases) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(explode(false, false, bad.data, 10), "");
    }
}

TEST(Implode, OverfullTreeThrows) {
    // 64 lengths of 1 cannot all have codes.
    std::vector<std::uint8_t> data = {3, 0xF0, 0xF0, 0xF0, 0xF0, 3, 0xF5, 0xF5, 0xF5, 0xF5, 0};
    EXPECT_THROW(explode(false, false, data, 10), algorithm::Exception);
}

// A pattern that is no code stops decoding quietly; the short result fails the entry's CRC.
TEST(Implode, PatternThatIsNoCodeStops) {
    Stream s(false, false);
    s.distances = Tree::uniform(64, 7);  // half the 7-bit patterns are free
    s.literal('a');
    s.bits.put(0, 1).put(0, 6).put(0, 7);  // inverted: all ones, the last pattern, unused
    std::string out = explode(s, 100);
    EXPECT_LT(out.size(), 100u);
}

}  // namespace

namespace {

// The stored trees, then one pattern of bits repeated without end.
class RepeatingInput : public stream::InputStream {
  public:
    RepeatingInput(std::vector<std::uint8_t> head, std::vector<std::uint8_t> pattern)
        : head_(std::move(head)), pattern_(std::move(pattern)) {}
    int get() override {
        std::uint8_t byte = position_ < head_.size()
                                ? head_[position_]
                                : pattern_[(position_ - head_.size()) % pattern_.size()];
        ++position_;
        return byte;
    }
    std::uint64_t tell() override { return position_; }

  private:
    std::vector<std::uint8_t> head_;
    std::vector<std::uint8_t> pattern_;
    std::uint64_t position_ = 0;
};

// Counts what is written and keeps nothing.
class CountingOutput : public stream::OutputStream {
  public:
    void write(const void*, std::uint32_t length) override { count_ += length; }
    void put(std::uint8_t) override { ++count_; }
    std::uint64_t tell() override { return count_; }

  private:
    std::uint64_t count_ = 0;
};

// The remaining count is 64-bit: a size above 2 GiB is decoded in full, not taken as negative.
TEST(Implode, SizeAboveTwoGigabytes) {
    Stream s(false, false);
    for (int i = 0; i < 8; ++i) {  // 8 matches of 27 bits fill whole bytes
        s.match(4096, 63, 255);
    }
    std::vector<std::uint8_t> all = s.bytes();
    std::vector<std::uint8_t> head;
    s.lengths.store(head);
    s.distances.store(head);
    RepeatingInput in(head, std::vector<std::uint8_t>(all.begin() + head.size(), all.end()));
    CountingOutput out;
    algorithm::zip::ImplodeDecompressor decoder(false, false);
    const std::uint64_t size = (std::uint64_t(1) << 31) + 1000;
    decoder.setSize(size);
    std::uint64_t produced = decoder.process(in, out);
    EXPECT_EQ(produced, out.tell());
    EXPECT_GE(produced, size);
    EXPECT_LT(produced, size + 320);
}

}  // namespace
