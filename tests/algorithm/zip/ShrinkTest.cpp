#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algorithm/zip/ShrinkDecompressor.h"
#include "base/Exception.h"
#include "tests/algorithm/zip/LegacyTestSupport.h"
#include "stream/MemoryStream.h"
#include "tests/support/TestSupport.h"

namespace {

using legacytest::BitWriter;

// A code and the width it is written with.
struct Code {
    unsigned value;
    unsigned bits;
};

std::vector<std::uint8_t> pack(const std::vector<Code>& codes) {
    BitWriter w;
    for (const Code& c : codes) {
        w.put(c.value, c.bits);
    }
    return w.bytes();
}

std::string shrink(const std::vector<std::uint8_t>& data) {
    stream::MemoryInput in(data);
    stream::MemoryOutput out;
    algorithm::zip::ShrinkDecompressor decoder;
    std::uint64_t produced = decoder.process(in, out, data.size());
    EXPECT_EQ(produced, out.data().size());
    return out.text();
}

std::string shrink(const std::vector<Code>& codes) {
    return shrink(pack(codes));
}

struct ShrinkCase {
    const char* what;
    std::vector<Code> codes;
    std::string expected;
};

class ShrinkCodes : public testing::TestWithParam<ShrinkCase> {};

TEST_P(ShrinkCodes, Decode) {
    EXPECT_EQ(shrink(GetParam().codes), GetParam().expected);
}

const unsigned a = 'a', b = 'b', c = 'c', d = 'd', e = 'e';

INSTANTIATE_TEST_SUITE_P(
    Shrink, ShrinkCodes,
    testing::Values(
        ShrinkCase{"one code, one byte", {{'A', 9}}, "A"},
        ShrinkCase{"defined code", {{a, 9}, {b, 9}, {257, 9}}, "abab"},
        // 257 is the code the compressor is defining: the previous string plus its first byte.
        ShrinkCase{"code not yet defined", {{a, 9}, {257, 9}, {258, 9}}, "aaaaaa"},
        ShrinkCase{
            "wider codes after sub-code 1", {{a, 9}, {256, 9}, {1, 9}, {b, 10}, {257, 10}}, "abab"},
        ShrinkCase{"unknown sub-code ignored", {{a, 9}, {256, 9}, {3, 9}, {b, 9}}, "ab"},
        ShrinkCase{"control code at the end", {{a, 9}, {256, 9}}, "a"},
        // 257 "ab" is the prefix of 259 "abb" and survives; the leaves 258 "ba" and 259 go, and
        // the next new codes reuse 258 and then 259 (259 becomes "ca").
        ShrinkCase{
            "partial clear",
            {{a, 9}, {b, 9}, {257, 9}, {258, 9}, {256, 9}, {2, 9}, {c, 9}, {257, 9}, {259, 9}},
            "ababbacabca"},
        // The first clear frees 260, the only child of 258, and leaves 258 in use above the
        // lowest free code; the second clear must then free 258, which is reused for "de".
        ShrinkCase{"second partial clear frees a code left childless",
                   {{a, 9},
                    {b, 9},
                    {c, 9},
                    {258, 9},
                    {258, 9},
                    {256, 9},
                    {2, 9},
                    {256, 9},
                    {2, 9},
                    {d, 9},
                    {e, 9},
                    {258, 9}},
                   "abcbcbcdede"}),
    [](const testing::TestParamInfo<ShrinkCase>& info) {
        return testsupport::testName(info.param.what);
    });

TEST(Shrink, NoFirstCodeThrowsItsOwnKind) {
    for (const std::vector<std::uint8_t>& data :
         {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{0x61}}) {
        try {
            shrink(data);
            ADD_FAILURE() << "no exception for " << data.size() << " bytes";
        } catch (const algorithm::Exception& ex) {
            EXPECT_EQ(ex.kind(), "ShrinkDecompressor");
            EXPECT_EQ(ex.message(), "end of stream reading the first code");
        }
    }
}

TEST(Shrink, ReadsNoByteBeyondTheCompressedSize) {
    std::vector<std::uint8_t> data = pack({{a, 9}, {b, 9}});
    const std::size_t compressed = data.size();
    // What follows would decode as more codes if it were read.
    for (std::uint8_t extra : {0x63, 0x00, 0xFF}) {
        data.push_back(extra);
    }
    stream::MemoryInput in(data);
    stream::MemoryOutput out;
    algorithm::zip::ShrinkDecompressor decoder;
    decoder.process(in, out, compressed);
    EXPECT_EQ(out.text(), "ab");
    EXPECT_EQ(in.tell(), compressed);
}

TEST(Shrink, ObjectDecodesSeveralEntries) {
    algorithm::zip::ShrinkDecompressor decoder;
    for (std::string expected : {"abab", "aaaaaa"}) {
        auto data = expected == "abab" ? pack({{a, 9}, {b, 9}, {257, 9}})
                                       : pack({{a, 9}, {257, 9}, {258, 9}});
        stream::MemoryInput in(data);
        stream::MemoryOutput out;
        decoder.process(in, out, data.size());
        EXPECT_EQ(out.text(), expected);
    }
}

TEST(Shrink, CorruptCodesEndWithAnException) {
    struct Bad {
        const char* what;
        std::vector<Code> codes;
    };
    const Bad cases[] = {
        {"code size beyond 13 bits",
         {{a, 9},
          {256, 9},
          {1, 9},
          {256, 10},
          {1, 10},
          {256, 11},
          {1, 11},
          {256, 12},
          {1, 12},
          {256, 13},
          {1, 13}}},
        // 300 is free, and so is the previous code it stands for: the chain never ends.
        {"loop through free codes", {{300, 9}, {300, 9}}},
        // 258, read before it exists, is recorded as the previous code of the next one, which
        // defines 258 as its own prefix.
        {"cycle of codes", {{a, 9}, {258, 9}, {257, 9}, {258, 9}}},
    };
    for (const Bad& bad : cases) {
        SCOPED_TRACE(bad.what);
        try {
            shrink(bad.codes);
            ADD_FAILURE() << "no exception";
        } catch (const algorithm::Exception& ex) {
            EXPECT_EQ(ex.kind(), "ShrinkDecompressor");
        }
    }
}

}  // namespace
