#include <gtest/gtest.h>

#include <vector>

#include "algorithm/CRC32.h"
#include "algorithm/ChecksumOutput.h"
#include "stream/ProgressOutput.h"
#include "stream/TestStreams.h"

namespace {

using teststreams::CountingInput;
using teststreams::pattern;
using teststreams::RecordingOutput;

TEST(ChecksumOutput, EveryWayOfWritingIsChecksummedAndPassedOn) {
    const auto data = pattern(5000);
    RecordingOutput out(7);
    algorithm::CRC32 crc;
    stream::ChecksumOutput checked(out, crc);
    checked.put(data[0]);
    checked.write(data.data() + 1, 99);
    checked.write(nullptr, 10);  // nothing
    CountingInput in(std::vector<std::uint8_t>(data.begin() + 100, data.begin() + 200));
    EXPECT_EQ(checked.copyFrom(in, stream::ALL), 100u);
    checked.write(data.data() + 200, 4800);
    std::vector<std::uint8_t> expected = data;
    checked.fill(5000, 0x5A);
    expected.insert(expected.end(), 5000, 0x5A);
    checked.flush();
    EXPECT_EQ(out.data, expected);
    EXPECT_EQ(~crc.value(), algorithm::CRC32::of(expected.data(), expected.size()));
    EXPECT_EQ(checked.tell(), 7u + expected.size());
    EXPECT_EQ(out.calls.back(), "f");
}

// Records the totals it is told.
class Recorder : public stream::ProgressObserver {
  public:
    void notify(std::uint64_t total, std::uint64_t second) override {
        totals.push_back(total);
        EXPECT_EQ(second, stream::ALL);
    }
    std::vector<std::uint64_t> totals;
};

TEST(ProgressOutput, NotifiesWhenAStepHasPassedSinceTheLastNotification) {
    RecordingOutput out;
    stream::ProgressOutput progress(out, 100);
    Recorder first, second;
    progress.attach(first);
    progress.attach(second);
    const auto data = pattern(1000);
    progress.write(data.data(), 99);  // 99: not yet
    EXPECT_TRUE(first.totals.empty());
    progress.put(1);                   // 100: a step
    progress.write(data.data(), 250);  // 250 since: one notification, count back to 0
    progress.write(data.data(), 99);   // 99
    progress.put(2);                   // 100
    progress.detach(second);
    progress.write(data.data(), 0);  // nothing passes, nothing told
    progress.fill(150, 3);           // 150
    EXPECT_EQ(first.totals, (std::vector<std::uint64_t>{100, 350, 450, 600}));
    EXPECT_EQ(second.totals, (std::vector<std::uint64_t>{100, 350, 450}));
    EXPECT_EQ(progress.total(), 600u);
    EXPECT_EQ(out.data.size(), 600u);
}

TEST(ProgressOutput, AnObserverThatThrowsStopsTheWriteAfterTheBytesPassed) {
    class Canceller : public stream::ProgressObserver {
      public:
        void notify(std::uint64_t, std::uint64_t) override { throw std::runtime_error("cancel"); }
    } canceller;
    RecordingOutput out;
    stream::ProgressOutput progress(out, 16);
    progress.attach(canceller);
    const auto data = pattern(40);
    progress.write(data.data(), 10);
    EXPECT_THROW(progress.write(data.data() + 10, 10), std::runtime_error);
    EXPECT_EQ(out.data.size(), 20u);
}

TEST(ProgressOutput, BlocksLargerThanAnyStepCountInSixtyFourBits) {
    // A single notification per write however far past the step the write goes, and totals
    // beyond 32 bits are kept.
    class Sparse : public stream::OutputStream {
      public:
        void write(const void*, std::uint32_t) override {}
        void put(std::uint8_t) override {}
        std::uint64_t tell() override { return 0; }
    } sink;
    stream::ProgressOutput progress(sink, 0xFFFFFFFFu);
    Recorder recorder;
    progress.attach(recorder);
    std::vector<std::uint8_t> dummy(1);
    for (int i = 0; i < 3; ++i) {
        progress.write(dummy.data(), 0xFFFFFFF0u);
    }
    EXPECT_EQ(recorder.totals, (std::vector<std::uint64_t>{0x1FFFFFFE0u}));
    EXPECT_EQ(progress.total(), 0x2FFFFFFD0u);
}

}  // namespace
