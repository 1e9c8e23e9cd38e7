#include <gtest/gtest.h>

#include <vector>

#include "base/Exception.h"
#include "stream/BufferedInput.h"
#include "stream/MemoryStream.h"
#include "stream/TestStreams.h"

namespace {

using teststreams::CountingInput;
using teststreams::pattern;
using teststreams::RecordingOutput;

TEST(BufferedInput, ZeroCapacityIsRefused) {
    CountingInput in(pattern(10));
    try {
        stream::BufferedInput buffered(in, 0);
        FAIL() << "no exception";
    } catch (const stream::Exception& e) {
        EXPECT_EQ(e.message(), "zero buffer size in stream::BufferedInput");
        EXPECT_EQ(e.kind(), "stream");
    }
}

TEST(BufferedInput, GetReadsEveryByteThenEndWithOneReadPerBuffer) {
    const auto data = pattern(100);
    CountingInput in(data);
    stream::BufferedInput buffered(in, 16);
    std::vector<std::uint8_t> got;
    for (int c; (c = buffered.get()) >= 0;) {
        got.push_back(static_cast<std::uint8_t>(c));
        EXPECT_EQ(buffered.tell(), got.size());
    }
    EXPECT_EQ(got, data);
    EXPECT_EQ(buffered.get(), -1);
    EXPECT_EQ(buffered.tell(), 100u);
    EXPECT_EQ(in.gets, 0);
    // 7 reads fill 6*16+4 bytes; the others see the end.
    EXPECT_GE(in.reads, 8);
    for (std::uint32_t length : in.readLengths) {
        EXPECT_LE(length, 16u);
    }
}

TEST(BufferedInput, ReadOfCapacityOnEmptyBufferGoesStraightThrough) {
    const auto data = pattern(64);
    CountingInput in(data);
    stream::BufferedInput buffered(in, 16);
    std::uint8_t block[20];
    // Exactly the capacity, then more than it: both bypass the buffer.
    ASSERT_EQ(buffered.read(block, 16), 16u);
    EXPECT_EQ(in.readLengths, (std::vector<std::uint32_t>{16}));
    EXPECT_EQ(buffered.tell(), 16u);
    ASSERT_EQ(buffered.read(block, 20), 20u);
    EXPECT_EQ(in.readLengths, (std::vector<std::uint32_t>{16, 20}));
    EXPECT_EQ(buffered.tell(), 36u);
    EXPECT_EQ(std::vector<std::uint8_t>(block, block + 20),
              std::vector<std::uint8_t>(data.begin() + 16, data.begin() + 36));
    // With bytes waiting even a large read goes through the buffer (one refill tops it up) and
    // comes back short.
    EXPECT_EQ(buffered.get(), data[36]);
    EXPECT_EQ(buffered.read(block, 20), 16u);
    EXPECT_EQ(std::vector<std::uint8_t>(block, block + 16),
              std::vector<std::uint8_t>(data.begin() + 37, data.begin() + 53));
    EXPECT_EQ(buffered.tell(), 53u);
}

TEST(BufferedInput, SmallReadRefillsAtMostOnceKeepingUnreadBytes) {
    const auto data = pattern(40);
    // The wrapped stream hands out 5 bytes per call at most.
    CountingInput in(data, 5);
    stream::BufferedInput buffered(in, 16);
    std::uint8_t block[8];
    ASSERT_EQ(buffered.read(block, 3), 3u);  // one refill: 5 bytes
    EXPECT_EQ(in.reads, 1);
    // 2 waiting, 8 asked: one refill keeps the 2 and adds 5; only 7 come back.
    ASSERT_EQ(buffered.read(block, 8), 7u);
    EXPECT_EQ(in.reads, 2);
    EXPECT_EQ(std::vector<std::uint8_t>(block, block + 7),
              std::vector<std::uint8_t>(data.begin() + 3, data.begin() + 10));
    EXPECT_EQ(buffered.tell(), 10u);
}

TEST(BufferedInput, ReadAtTheEndGivesZero) {
    CountingInput in(pattern(3));
    stream::BufferedInput buffered(in, 8);
    std::uint8_t block[4];
    EXPECT_EQ(buffered.read(block, 4), 3u);
    EXPECT_EQ(buffered.read(block, 4), 0u);
    EXPECT_EQ(buffered.read(block, 8), 0u);
    EXPECT_EQ(buffered.tell(), 3u);
}

TEST(BufferedInput, MixedOperationsMatchTheData) {
    // get, read, skip and direct access interleaved over many chunkings must see the bytes in
    // order and keep tell() exact.
    const auto data = pattern(1000);
    for (std::uint32_t capacity : {1u, 7u, 64u, 4096u}) {
        for (std::uint32_t chunk : {0u, 3u, 50u}) {
            SCOPED_TRACE("capacity " + std::to_string(capacity) + " chunk " +
                         std::to_string(chunk));
            CountingInput in(data, chunk);
            stream::BufferedInput buffered(in, capacity);
            std::vector<std::uint8_t> got;
            std::uint64_t skipped = 0;
            for (int step = 0; got.size() + skipped < data.size(); ++step) {
                std::uint64_t at = buffered.tell();
                ASSERT_EQ(at, got.size() + skipped);
                switch (step % 4) {
                    case 0: {
                        int c = buffered.get();
                        ASSERT_EQ(c, data[at]);
                        got.push_back(static_cast<std::uint8_t>(c));
                        break;
                    }
                    case 1: {
                        std::uint8_t block[100];
                        std::uint32_t n = buffered.read(block, 1 + step % 100);
                        got.insert(got.end(), block, block + n);
                        break;
                    }
                    case 2: {
                        std::uint64_t n = buffered.skip(step % 13);
                        got.insert(got.end(), data.begin() + at, data.begin() + at + n);
                        break;
                    }
                    default: {
                        if (buffered.available() == 0 && !buffered.fill()) {
                            break;
                        }
                        std::uint32_t n = std::min<std::uint32_t>(buffered.available(), 9);
                        got.insert(got.end(), buffered.current(), buffered.current() + n);
                        buffered.advance(n);
                        break;
                    }
                }
            }
            EXPECT_EQ(got, data);
            EXPECT_EQ(buffered.get(), -1);
            EXPECT_FALSE(buffered.fill());
        }
    }
}

TEST(BufferedInput, SkipStopsAtTheEnd) {
    CountingInput in(pattern(50));
    stream::BufferedInput buffered(in, 16);
    EXPECT_EQ(buffered.skip(20), 20u);
    EXPECT_EQ(buffered.skip(100), 30u);
    EXPECT_EQ(buffered.tell(), 50u);
    EXPECT_EQ(buffered.skip(1), 0u);
}

TEST(BufferedInput, CopyMovesBytesAndFlushes) {
    struct Case {
        bool sizeKnown;
        std::uint64_t count;
        std::uint64_t expected;
    };
    // With the size unknown, ALL still means everything up to the end.
    const Case cases[] = {{true, stream::ALL, 90},
                          {false, stream::ALL, 90},
                          {true, 33, 33},
                          {false, 500, 90},
                          {true, 0, 0}};
    const auto data = pattern(100);
    for (const Case& c : cases) {
        CountingInput in(data, 0, c.sizeKnown);
        stream::BufferedInput buffered(in, 16);
        ASSERT_EQ(buffered.skip(10), 10u);
        RecordingOutput out;
        EXPECT_EQ(buffered.copy(out, c.count), c.expected);
        EXPECT_EQ(out.data,
                  std::vector<std::uint8_t>(data.begin() + 10, data.begin() + 10 + c.expected));
        ASSERT_FALSE(out.calls.empty());
        EXPECT_EQ(out.calls.back(), "f");
        EXPECT_EQ(buffered.tell(), 10 + c.expected);
    }
}

TEST(BufferedInput, SizeAndCloseAreForwarded) {
    CountingInput in(pattern(77));
    stream::BufferedInput buffered(in, 8);
    buffered.get();
    EXPECT_EQ(buffered.size(), 77u);
    buffered.close();
    EXPECT_EQ(in.closes, 1);
}

TEST(BufferedInput, SeekOverARandomInputMakesTellAbsolute) {
    const auto data = pattern(300);
    stream::MemoryInput in(data);
    stream::BufferedInput buffered(in, 32);
    in.seek(100);  // wrapped stream not at 0: tell() still counts from 0 until a seek
    EXPECT_EQ(buffered.get(), data[100]);
    EXPECT_EQ(buffered.tell(), 1u);
    buffered.seek(250);
    EXPECT_EQ(buffered.tell(), 250u);
    EXPECT_EQ(buffered.get(), data[250]);
    buffered.seek(5);  // backwards, the buffered bytes are dropped
    std::uint8_t block[4];
    ASSERT_EQ(buffered.read(block, 4), 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(block, block + 4),
              std::vector<std::uint8_t>(data.begin() + 5, data.begin() + 9));
    EXPECT_EQ(buffered.tell(), 9u);
    buffered.seek(300);
    EXPECT_EQ(buffered.get(), -1);
    EXPECT_EQ(buffered.tell(), 300u);
}

// A seek among the buffered bytes moves within the buffer without asking the wrapped stream; one
// elsewhere, or after a read that bypassed the buffer, goes to the wrapped stream. Each read must
// still give the bytes at the position sought.
TEST(BufferedInput, SeekAmongBufferedBytesAsksTheWrappedStreamNothing) {
    class SeekCountingInput : public stream::MemoryInput {
      public:
        using stream::MemoryInput::MemoryInput;
        std::uint32_t read(void* buffer, std::uint32_t length) override {
            ++reads;
            return stream::MemoryInput::read(buffer, length);
        }
        void seek(std::uint64_t position) override {
            ++seeks;
            stream::MemoryInput::seek(position);
        }
        int reads = 0;
        int seeks = 0;
    };
    const auto data = pattern(300);
    SeekCountingInput in(data);
    stream::BufferedInput buffered(in, 32);
    struct Step {
        std::uint64_t position;
        std::uint32_t length;  // 0: one get()
        int seeks;             // of the wrapped stream, in total after the step
    };
    const Step steps[] = {
        {10, 0, 1},   // the first seek always goes through: tell() becomes absolute
        {12, 0, 1},   // forward within the buffer filled at 10 (10..41)
        {10, 0, 1},   // backward within it
        {42, 0, 1},   // just past its last byte: the end of the buffer, the next fill follows
        {41, 0, 2},   // the buffer now starts at 42: back to the wrapped stream (fills 41..72)
        {73, 40, 2},  // at the buffer's end it is empty: a read of 40 bypasses it (73..112)
        {100, 0, 3},  // so the bytes read past it are no buffered bytes
        {300, 0, 4},  // the end
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.position);
        buffered.seek(step.position);
        EXPECT_EQ(buffered.tell(), step.position);
        if (step.length == 0) {
            EXPECT_EQ(buffered.get(), step.position < data.size() ? data[step.position] : -1);
            EXPECT_EQ(buffered.tell(), step.position + (step.position < data.size() ? 1 : 0));
        } else {
            std::vector<std::uint8_t> block(step.length);
            ASSERT_EQ(buffered.read(block.data(), step.length), step.length);
            EXPECT_EQ(block, std::vector<std::uint8_t>(data.begin() + step.position,
                                                       data.begin() + step.position + step.length));
        }
        EXPECT_EQ(in.seeks, step.seeks);
    }
}

TEST(BufferedInput, SeekOverASequentialInputIsRefused) {
    CountingInput in(pattern(30));
    stream::BufferedInput buffered(in, 8);
    buffered.get();
    try {
        buffered.seek(0);
        FAIL() << "no exception";
    } catch (const stream::Exception& e) {
        EXPECT_EQ(e.message(), "stream::BufferedInput::seek() needs a seekable stream");
    }
    // Nothing was lost.
    EXPECT_EQ(buffered.tell(), 1u);
    EXPECT_EQ(buffered.get(), pattern(30)[1]);
}

TEST(BufferedInput, FailureOfTheWrappedStreamPassesThrough) {
    class FailingInput : public stream::InputStream {
      public:
        int get() override { throw io::InputException("cannot read"); }
        std::uint32_t read(void*, std::uint32_t) override {
            throw io::InputException("cannot read");
        }
        std::uint64_t tell() override { return 0; }
    } failing;
    stream::BufferedInput buffered(failing, 8);
    EXPECT_THROW(buffered.get(), io::InputException);
    std::uint8_t block[8];
    EXPECT_THROW(buffered.read(block, 8), io::InputException);
}

}  // namespace
