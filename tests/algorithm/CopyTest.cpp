#include <gtest/gtest.h>

#include <vector>

#include "algorithm/Copy.h"
#include "stream/BufferedInput.h"
#include "stream/TestStreams.h"

namespace {

using teststreams::CountingInput;
using teststreams::pattern;
using teststreams::RecordingOutput;

TEST(Copy, KnownAndUnknownSizes) {
    struct Case {
        std::size_t available;
        std::uint64_t size;
        std::uint64_t copied;
    };
    const Case cases[] = {
        {0, 0, 0},
        {0, 10, 0},
        {100, 100, 100},
        {100, 40, 40},
        {200000, 200000, 200000},             // several full blocks
        {200000, 65536, 65536},               // exactly one block
        {200000, 131073, 131073},             // one byte past two blocks
        {100, algorithm::kUnknownSize, 100},  // up to the end
        {200000, algorithm::kUnknownSize, 200000},
        {100, 150, 100},         // a short input ends the copy without an error
        {70000, 140000, 70000},  // also after a full block
    };
    const auto data = pattern(200000);
    for (const Case& c : cases) {
        CountingInput in(std::vector<std::uint8_t>(data.begin(), data.begin() + c.available));
        RecordingOutput out;
        algorithm::Copy copy;
        EXPECT_EQ(copy.process(in, out, c.size), c.copied) << c.available << " " << c.size;
        EXPECT_EQ(out.data, std::vector<std::uint8_t>(data.begin(), data.begin() + c.copied));
        ASSERT_FALSE(out.calls.empty());
        EXPECT_EQ(out.calls.back(), "f");
        for (std::uint32_t length : in.readLengths) {
            EXPECT_LE(length, 65536u);
        }
    }
}

TEST(Copy, ProcessWithoutSizeCopiesToTheEndAndTheObjectIsReusable) {
    const auto data = pattern(70000);
    algorithm::Copy copy;
    for (int round = 0; round < 2; ++round) {
        CountingInput in(data);
        RecordingOutput out;
        EXPECT_EQ(copy.process(in, out), data.size());
        EXPECT_EQ(out.data, data);
    }
}

TEST(Copy, ReadsThatComeBackShortBeforeTheEndDoNotCutTheCopy) {
    // A buffered input with bytes waiting answers a large read with at most its capacity; a
    // stored entry read through it must still be copied whole.
    const auto data = pattern(10000);
    CountingInput in(data);
    stream::BufferedInput buffered(in, 1000);
    ASSERT_EQ(buffered.get(), data[0]);
    RecordingOutput out;
    algorithm::Copy copy(4096);
    EXPECT_EQ(copy.process(buffered, out, 9999), 9999u);
    EXPECT_EQ(out.data, std::vector<std::uint8_t>(data.begin() + 1, data.end()));
}

TEST(Copy, BaseAlgorithmCopiesBytewise) {
    const auto data = pattern(50);
    CountingInput in(data);
    RecordingOutput out;
    algorithm::Algorithm base;
    EXPECT_EQ(base.process(in, out, 20), 20u);
    EXPECT_EQ(base.process(in, out), 30u);
    EXPECT_EQ(out.data, data);
}

}  // namespace
