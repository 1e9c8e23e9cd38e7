#include <gtest/gtest.h>

#include <vector>

#include "algorithm/zip/BitInput.h"
#include "stream/MemoryStream.h"

namespace {

using algorithm::zip::PaddingBitInput;
using algorithm::zip::StrictBitInput;

// The readers with the single-bit and complemented reads these tests use besides the ones the
// decoders need; the complement reads the buffered bits, which only a subclass can see.
template <class Reader>
class TestBits : public Reader {
  public:
    using Reader::Reader;

    // The complement of the next n bits, not consumed; -1 when they cannot be had.
    int getinvbits(unsigned n) {
        if (!this->needbits(n)) {
            return -1;
        }
        return static_cast<int>(~this->buffer_ & this->mask(n));
    }
    int peekbit() { return this->peekbits(1); }
    void dropbit() { this->dumpbits(1); }
};

stream::MemoryInput bytes(std::vector<std::uint8_t> v) {
    return stream::MemoryInput(std::move(v));
}

TEST(BitInput, BitsComeLeastSignificantFirstAcrossBytes) {
    // 0xB4 = 1011 0100, 0x2D = 0010 1101: lowest bits first.
    auto check = [](auto&& bits) {
        EXPECT_EQ(bits.getbit(), 0);
        EXPECT_EQ(bits.getbits(3), 0x2);      // 010
        EXPECT_EQ(bits.getbits(6), 0x1B);     // 1011 then 11 of 0x2D
        EXPECT_EQ(bits.getinvbits(4), 0x4);   // next 1011 inverted, not consumed
        EXPECT_EQ(bits.getbits(14), 0x3FCB);  // 001011 then all of 0xFF
        EXPECT_EQ(bits.getbits(0), 0);
        EXPECT_EQ(bits.bytesRead(), 3u);
        EXPECT_EQ(bits.bitsBuffered(), 0u);
    };
    auto in = bytes({0xB4, 0x2D, 0xFF});
    check(TestBits<StrictBitInput>(in));
    in.seek(0);
    check(TestBits<PaddingBitInput>(in));
}

TEST(BitInput, StrictFailsAtTheEndAndCountsEveryAttempt) {
    auto in = bytes({0xA5});
    TestBits<StrictBitInput> bits(in);
    EXPECT_EQ(bits.getbits(4), 0x5);
    // 4 bits held, 9 wanted: the next read fails, nothing is consumed or added.
    EXPECT_EQ(bits.getbits(9), -1);
    EXPECT_EQ(bits.bitsBuffered(), 4u);
    EXPECT_EQ(bits.bytesRead(), 2u);  // the failed attempt counts
    EXPECT_EQ(bits.getinvbits(5), -1);
    EXPECT_EQ(bits.bytesRead(), 3u);
    EXPECT_EQ(bits.getbits(4), 0xA);  // what was held is still there
    EXPECT_EQ(bits.getbit(), -1);
    EXPECT_FALSE(bits.needbits(1));
    EXPECT_EQ(bits.bytesRead(), 5u);
}

TEST(BitInput, PaddingDeliversZeroBitsAfterTheEndAndFailsOncePerCrossing) {
    auto in = bytes({0xFF});
    PaddingBitInput bits(in);
    EXPECT_EQ(bits.getbits(6), 0x3F);
    // Crossing the end: a zero byte is added but the read fails; nothing is consumed.
    EXPECT_EQ(bits.getbits(4), -1);
    EXPECT_EQ(bits.bitsBuffered(), 10u);
    EXPECT_EQ(bits.bytesRead(), 1u);  // only bytes really read count
    // The padding bits are there now: 11 then zeros.
    EXPECT_EQ(bits.getbits(4), 0x3);
    EXPECT_EQ(bits.getbits(6), 0);
    // The next crossing fails again, once.
    EXPECT_EQ(bits.peekbits(3), 0);
    EXPECT_EQ(bits.bitsBuffered(), 8u);
    EXPECT_EQ(bits.getbits(3), 0);
    EXPECT_EQ(bits.bytesRead(), 1u);
}

TEST(BitInput, PaddingPeekDumpAndDrop) {
    auto in = bytes({0x96, 0x01});  // 1001 0110, then 0000 0001
    TestBits<PaddingBitInput> bits(in);
    EXPECT_EQ(bits.peekbit(), 0);
    EXPECT_EQ(bits.peekbits(5), 0x16);
    bits.dropbit();
    EXPECT_EQ(bits.peekbits(4), 0xB);
    bits.dumpbits(7);
    EXPECT_EQ(bits.peekbits(8), 0x01);
    EXPECT_EQ(bits.getinvbits(3), 0x6);
    // A dump that crosses the end fails and consumes nothing; the zero padding is kept.
    bits.dumpbits(12);
    EXPECT_EQ(bits.bitsBuffered(), 16u);
    EXPECT_EQ(bits.getbits(1), 1);
    EXPECT_EQ(bits.getinvbits(15), 0x7FFF);
    EXPECT_EQ(bits.getbits(24), -1);
}

TEST(BitInput, WideReadsUpToTwentyFourBits) {
    auto in = bytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB});
    for (unsigned shift : {0u, 1u, 7u}) {
        in.seek(0);
        StrictBitInput bits(in);
        bits.getbits(shift);
        std::uint32_t all = 0xAB8967u << 24 | 0x452301u;  // low 32 bits of the 48
        EXPECT_EQ(bits.getbits(24), static_cast<int>((all >> shift) & 0xFFFFFF)) << shift;
    }
}

}  // namespace
