#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "algorithm/Random.h"
#include "algorithm/TickSeed.h"

namespace {

TEST(Random, KnownSequences) {
    // Seed 0 as given: the first state is 11, whose top 32 of 48 bits are 0.
    algorithm::Random plain(0);
    EXPECT_EQ(plain.next(32), 0u);
    EXPECT_EQ(plain.state(), 11u);
    EXPECT_EQ(plain.nextInt(), 0x0040942Du);
    EXPECT_EQ(plain.nextInt(), 0x0AA8544Eu);
    // setSeed scrambles the seed first; these are the well-known values of this generator.
    algorithm::Random scrambled(0);
    scrambled.setSeed(42);
    EXPECT_EQ(scrambled.nextInt(), 0xBA419D35u);
    EXPECT_EQ(scrambled.nextInt(), 0x0DFE8AF7u);
    EXPECT_EQ(scrambled.nextInt(), 0xAEE7BBE1u);
    // Fewer bits are the top bits of the same state.
    algorithm::Random few(0);
    few.setSeed(42);
    EXPECT_EQ(few.next(8), 0xBAu);
}

TEST(Random, ConstructorKeepsTheSeedAndStateStaysWithin48Bits) {
    algorithm::Random big(0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(big.state(), 0xFFFFFFFFFFFFFFFFull);
    big.next(1);
    EXPECT_LT(big.state(), 1ull << 48);
}

TEST(Random, NextBytesUsesEachDrawFromItsLowByte) {
    algorithm::Random random(7);
    std::uint8_t bytes[6];
    random.nextBytes(bytes, sizeof bytes);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 6),
              (std::vector<std::uint8_t>{0x7A, 0x18, 0x29, 0x00, 0xCE, 0x82}));
}

TEST(Random, HeaderBytesFromATickCount) {
    // Eleven header bytes are the low bytes of eleven draws from the tick count as seed.
    algorithm::Random random(1000);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 11; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(random.nextInt()));
    }
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x64, 0x56, 0x5E, 0x18, 0x43, 0x20, 0xC8, 0x90,
                                                0x0B, 0x69, 0xB9}));
}

TEST(TickSeed, CountsMillisecondsForward) {
    algorithm::TickSeed clock;
    EXPECT_EQ(clock.rate(), 1000u);
    std::uint32_t before = clock.ticks();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    // Forward by about the time slept (the count may wrap; the difference may not). The system
    // tick can be as coarse as 16 ms.
    std::uint32_t slept = clock.ticks() - before;
    EXPECT_GE(slept, 40u);
    EXPECT_LT(slept, 10000u);
    EXPECT_GE(clock.elapsed(), slept);
    clock.restart();
    EXPECT_LT(clock.elapsed(), 40u);
}

}  // namespace
