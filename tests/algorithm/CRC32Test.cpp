#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "algorithm/CRC32.h"
#include "stream/TestStreams.h"

namespace {

TEST(CRC32, CheckValuesOfKnownTexts) {
    struct Case {
        std::string text;
        std::uint32_t crc;
    };
    // Values as any Zip tool computes them.
    const Case cases[] = {
        {"", 0x00000000u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(algorithm::CRC32::of(c.text.data(), c.text.size()), c.crc) << c.text;
        algorithm::CRC32 bytewise;
        for (char ch : c.text) {
            bytewise.update(static_cast<std::uint8_t>(ch));
        }
        EXPECT_EQ(~bytewise.value(), c.crc) << c.text;
    }
}

TEST(CRC32, TableIsThatOfThePolynomial) {
    const std::uint32_t* table = algorithm::crc32Table();
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[1], 0x77073096u);
    EXPECT_EQ(table[128], 0xEDB88320u);
    EXPECT_EQ(table[255], 0x2D02EF8Du);
    // The base computes its own table from the polynomial; CRC-32's stored table is the same.
    algorithm::ReflectedCRC generic(algorithm::CRC32::kPolynomial, 0xFFFFFFFFu);
    EXPECT_EQ(std::memcmp(generic.table(), table, 256 * sizeof(std::uint32_t)), 0);
}

TEST(CRC32, BlockUpdateEqualsByteUpdateAtAnyLengthAndAlignment) {
    const auto data = teststreams::pattern(300);
    for (std::size_t offset = 0; offset < 9; ++offset) {
        for (std::size_t length = 0; length + offset <= data.size(); length += 1 + length / 8) {
            algorithm::CRC32 block;
            block.update(data.data() + offset, length);
            algorithm::ReflectedCRC reference(algorithm::CRC32::kPolynomial, 0xFFFFFFFFu);
            for (std::size_t i = 0; i < length; ++i) {
                reference.update(data[offset + i]);
            }
            ASSERT_EQ(block.value(), reference.value()) << offset << " " << length;
        }
    }
}

TEST(CRC32, UpdatesInPiecesContinueAndResetRestarts) {
    const auto data = teststreams::pattern(1000);
    algorithm::CRC32 whole;
    whole.update(data.data(), data.size());
    algorithm::CRC32 pieces;
    std::size_t at = 0;
    for (std::size_t piece : {1u, 7u, 8u, 13u, 500u, 471u}) {
        pieces.update(data.data() + at, piece);
        at += piece;
    }
    ASSERT_EQ(at, data.size());
    EXPECT_EQ(pieces.value(), whole.value());
    pieces.reset();
    EXPECT_EQ(pieces.value(), 0xFFFFFFFFu);
    pieces.update(nullptr, 0);
    EXPECT_EQ(pieces.value(), 0xFFFFFFFFu);
    // A different start value gives a different, still continuable, register.
    algorithm::CRC32 zero(0);
    EXPECT_EQ(zero.initial(), 0u);
    zero.update("1", 1);
    EXPECT_EQ(zero.value(), algorithm::crc32Table()['1']);
}

TEST(CRC32, LongRunsMatchAnIndependentlyComputedValue) {
    // Long runs take the widest path the processor offers; the values are Python's
    // zlib.crc32 of the same bytes, the lengths around its 64- and 16-byte steps.
    std::vector<std::uint8_t> data(100000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
    }
    const struct {
        std::size_t length;
        std::uint32_t crc;
    } cases[] = {{64, 0x44D24382u},
                 {100, 0x67B8666Cu},
                 {1000, 0xC8E54C0Eu},
                 {65543, 0xBD45F190u},
                 {100000, 0x33E045C4u}};
    for (const auto& c : cases) {
        EXPECT_EQ(algorithm::CRC32::of(data.data(), c.length), c.crc) << c.length;
    }
    // Lengths and alignments through every mix of 64-byte, 16-byte and single-byte steps,
    // continued from a register that is not the initial one.
    for (std::size_t offset : {0u, 1u, 7u}) {
        for (std::size_t length = 60; length < 400; length += 5) {
            algorithm::CRC32 block;
            block.update(data.data(), 3);
            block.update(data.data() + offset, length);
            algorithm::ReflectedCRC reference(algorithm::CRC32::kPolynomial, 0xFFFFFFFFu);
            for (std::size_t i = 0; i < 3; ++i) {
                reference.update(data[i]);
            }
            for (std::size_t i = 0; i < length; ++i) {
                reference.update(data[offset + i]);
            }
            ASSERT_EQ(block.value(), reference.value()) << offset << " " << length;
        }
    }
}

}  // namespace
