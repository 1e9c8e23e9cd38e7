#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algorithm/zip/ReduceDecompressor.h"
#include "base/Exception.h"
#include "tests/algorithm/zip/LegacyTestSupport.h"
#include "stream/MemoryStream.h"
#include "tests/support/TestSupport.h"

namespace {

using legacytest::BitWriter;

// Follower sets in which every byte has no followers: each byte of the data is then 8 bits.
BitWriter emptyFollowerSets() {
    BitWriter w;
    for (int x = 255; x >= 0; --x) {
        w.put(0, 6);
    }
    return w;
}

std::vector<std::uint8_t> plainBytes(const std::vector<unsigned>& bytes) {
    BitWriter w = emptyFollowerSets();
    for (unsigned byte : bytes) {
        w.put(byte, 8);
    }
    return w.bytes();
}

std::string reduce(unsigned factor, const std::vector<std::uint8_t>& data, std::uint64_t size) {
    stream::MemoryInput in(data);
    stream::MemoryOutput out;
    algorithm::zip::ReduceDecompressor decoder(factor);
    std::uint64_t produced = decoder.process(in, out, size);
    EXPECT_EQ(produced, out.data().size());
    return out.text();
}

struct ReduceCase {
    const char* what;
    unsigned factor;
    std::vector<unsigned> bytes;  // after the follower sets
    std::string expected;
};

class ReduceBytes : public testing::TestWithParam<ReduceCase> {};

TEST_P(ReduceBytes, Expand) {
    const ReduceCase& c = GetParam();
    EXPECT_EQ(reduce(c.factor, plainBytes(c.bytes), c.expected.size()), c.expected);
}

using namespace std::string_literals;

std::string repeat(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) {
        s += piece;
    }
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Reduce, ReduceBytes,
    testing::Values(
        ReduceCase{"plain bytes", 1, {'a', 'b', 'c'}, "abc"},
        ReduceCase{"144 then 0 is 144 itself",
                   2,
                   {'a', 144, 0, 'b', 144, 0},
                   "a\x90"
                   "b\x90"},
        // Factor 1: length (v & 0x7F) + 3 = 5, distance (v >> 7 & 1) * 256 + c + 1 = 3.
        ReduceCase{"factor 1 match", 1, {'a', 'b', 'c', 144, 0x02, 2}, "abcabcab"},
        // Factor 1 with the high distance bit: 257 bytes back is before the output: zeros.
        ReduceCase{"factor 1 match before the output", 1, {'x', 144, 0x81, 0}, "x\0\0\0\0"s},
        // Factor 4: a length of 15 takes one more byte (15 + 5 + 3 = 23), distance 1.
        ReduceCase{"factor 4 long match", 4, {'a', 144, 0x0F, 5, 0}, std::string(24, 'a')},
        ReduceCase{
            "factor 4 distance high bits", 4, {'a', 'b', 'c', 144, 0x10, 0xFE}, "abc\0\0\0"s},
        // Factor 2: 63 + 0 + 3 = 66 bytes from distance 2.
        ReduceCase{"factor 2 long match", 2, {'a', 'b', 144, 0x3F, 0, 1}, repeat("ab", 34)},
        ReduceCase{"factor 3 short match", 3, {'x', 'y', 144, 0x01, 1}, "xyxyxy"}),
    [](const testing::TestParamInfo<ReduceCase>& info) {
        return testsupport::testName(info.param.what);
    });

// Byte 0 (the previous byte at the start) gets count followers; the one at index count - 1 is
// read with the index width that count needs.
TEST(Reduce, FollowerIndexWidthFollowsTheCount) {
    for (unsigned count : {1u, 2u, 3u, 4u, 5u, 8u, 9u, 16u, 17u, 32u, 33u, 63u}) {
        SCOPED_TRACE(count);
        unsigned width = 1;
        while ((1u << width) < count) {
            ++width;
        }
        BitWriter w;
        for (int x = 255; x >= 1; --x) {
            w.put(0, 6);
        }
        w.put(count, 6);
        for (unsigned i = 0; i < count; ++i) {
            w.put('A' + i, 8);
        }
        w.put(0, 1).put(count - 1, width);  // a follower: index count - 1
        w.put(1, 8);                        // byte 'A' + count - 1 has no followers: 8 bits
        std::string expected{static_cast<char>('A' + count - 1), '\x01'};
        EXPECT_EQ(reduce(1, w.bytes(), 2), expected);
    }
}

TEST(Reduce, LiteralFlagBypassesTheFollowers) {
    BitWriter w;
    for (int x = 255; x >= 1; --x) {
        w.put(0, 6);
    }
    w.put(1, 6).put('f', 8);
    w.put(1, 1).put('z', 8).put(7, 8);
    EXPECT_EQ(reduce(1, w.bytes(), 2), "z\x07");
}

TEST(Reduce, MatchesAcrossTheWindowEnd) {
    // 16,380 bytes 'a'..'z' cycling, then a 10-byte match 26 back crosses the 16,384 boundary.
    std::vector<unsigned> bytes;
    std::string expected;
    for (int i = 0; i < 16380; ++i) {
        bytes.push_back('a' + i % 26);
        expected += static_cast<char>('a' + i % 26);
    }
    bytes.insert(bytes.end(), {144, 7, 25});
    for (int i = 0; i < 10; ++i) {
        expected += expected[expected.size() - 26];
    }
    EXPECT_EQ(reduce(1, plainBytes(bytes), expected.size()), expected);
}

TEST(Reduce, EndInTheFollowerSetsThrows) {
    std::vector<std::uint8_t> data = emptyFollowerSets().bytes();
    for (std::size_t keep : {std::size_t(0), std::size_t(1), data.size() - 1}) {
        std::vector<std::uint8_t> cut(data.begin(), data.begin() + keep);
        EXPECT_THROW(reduce(1, cut, 10), algorithm::Exception) << keep << " bytes";
    }
}

// The remaining count is 64-bit: sizes of 2 GiB and 4 GiB decode (here until the data ends) and
// are not taken as negative or zero.
TEST(Reduce, SizesOfTwoGigabytesAndMore) {
    for (std::uint64_t size : {std::uint64_t(1) << 31, std::uint64_t(1) << 32}) {
        EXPECT_EQ(reduce(1, plainBytes({'a', 'b', 'c'}), size), "abc");
    }
}

TEST(Reduce, RejectsFactorsOutsideOneToFour) {
    EXPECT_THROW(algorithm::zip::ReduceDecompressor(0), algorithm::Exception);
    EXPECT_THROW(algorithm::zip::ReduceDecompressor(5), algorithm::Exception);
}

}  // namespace
