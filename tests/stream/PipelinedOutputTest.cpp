// The output that passes full buffers on from a second thread: every byte in order whatever the
// sizes, the other output's failure thrown to the writer as itself, and a cancel that writes
// nothing more and never hangs.
#include "stream/PipelinedOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "platform/Thread.h"
#include "stream/BufferedOutput.h"
#include "stream/TestStreams.h"

namespace {

using teststreams::pattern;
using teststreams::RecordingOutput;

constexpr std::uint32_t kBuffer = 4096;

// Writes everything of data into out in one of the ways writers do.
struct Writer {
    const char* name;
    std::function<void(stream::OutputStream&, const std::vector<std::uint8_t>&)> write;
};

const Writer kWriters[] = {
    {"byte by byte",
     [](stream::OutputStream& out, const std::vector<std::uint8_t>& data) {
         for (std::uint8_t byte : data) {
             out.put(byte);
         }
     }},
    {"in one write",
     [](stream::OutputStream& out, const std::vector<std::uint8_t>& data) {
         out.write(data.data(), static_cast<std::uint32_t>(data.size()));
     }},
    {"in odd pieces",
     [](stream::OutputStream& out, const std::vector<std::uint8_t>& data) {
         std::size_t at = 0;
         for (std::uint32_t piece = 1; at < data.size(); piece = piece * 3 + 1) {
             const std::size_t n = std::min<std::size_t>(piece % 9001, data.size() - at);
             out.write(data.data() + at, static_cast<std::uint32_t>(n));
             at += n;
         }
     }},
    {"through a buffer of 1000",
     [](stream::OutputStream& out, const std::vector<std::uint8_t>& data) {
         stream::BufferedOutput buffered(out, 1000);
         for (std::uint8_t byte : data) {
             buffered.put(byte);
         }
         buffered.flush();
     }},
};

TEST(PipelinedOutput, EveryByteArrivesInOrderWhateverTheSizeAndTheWriter) {
    const std::size_t sizes[] = {0,           1,           kBuffer - 1,     kBuffer,
                                 kBuffer + 1, 2 * kBuffer, 7 * kBuffer + 3, 3 * 1024 * 1024 + 5};
    for (unsigned buffers : {2u, 3u}) {
        for (std::size_t size : sizes) {
            for (const Writer& writer : kWriters) {
                SCOPED_TRACE(std::to_string(size) + " bytes " + writer.name + ", " +
                             std::to_string(buffers) + " buffers");
                const std::vector<std::uint8_t> data = pattern(size);
                RecordingOutput out(100);
                {
                    stream::PipelinedOutput pipeline(out, kBuffer, buffers);
                    EXPECT_EQ(pipeline.tell(), 100u);
                    writer.write(pipeline, data);
                    pipeline.flush();
                    EXPECT_EQ(pipeline.tell(), 100u + size);
                }
                EXPECT_TRUE(out.data == data) << "the bytes differ";
                // Whole buffers, the rest last, then the flushes (the writer's and ours).
                std::vector<std::string> writes = out.calls;
                ASSERT_FALSE(writes.empty());
                EXPECT_EQ(writes.back(), "f");
                while (!writes.empty() && writes.back() == "f") {
                    writes.pop_back();
                }
                std::vector<std::string> expected;
                for (std::size_t at = 0; at < size; at += kBuffer) {
                    expected.push_back("w" +
                                       std::to_string(std::min<std::size_t>(kBuffer, size - at)));
                }
                EXPECT_EQ(writes, expected);
            }
        }
    }
}

// Fails its Nth write with an exception of a type no base class stands in for.
class FailingOutput : public RecordingOutput {
  public:
    explicit FailingOutput(int failAt) : failAt_(failAt) {}
    void write(const void* buffer, std::uint32_t length) override {
        if (++attempts == failAt_) {
            throw io::NameTakenException("disk full at write " + std::to_string(attempts));
        }
        RecordingOutput::write(buffer, length);
    }
    int attempts = 0;

  private:
    int failAt_;
};

TEST(PipelinedOutput, TheOtherOutputsFailureReachesTheWriterAsItselfAndStopsThePassing) {
    struct Case {
        int failAt;
        std::size_t buffers;  // written, of kBuffer bytes each
        bool atFlush;         // where the writer must see it
    };
    // With three buffers the writer must wait for the failed one after handing over two more;
    // the last buffer goes over only at flush().
    const Case cases[] = {{1, 12, false}, {2, 12, false}, {3, 3, true}, {1, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE("write " + std::to_string(c.failAt) + " of " + std::to_string(c.buffers));
        const std::vector<std::uint8_t> data = pattern(c.buffers * kBuffer);
        FailingOutput out(c.failAt);
        {
            stream::PipelinedOutput pipeline(out, kBuffer, 3);
            bool thrownAtWrite = false;
            try {
                pipeline.write(data.data(), static_cast<std::uint32_t>(data.size()));
            } catch (const io::NameTakenException& e) {
                thrownAtWrite = true;
                EXPECT_EQ(e.message(), "disk full at write " + std::to_string(c.failAt));
            }
            EXPECT_EQ(thrownAtWrite, !c.atFlush);
            // Again at every later flush, never a hang.
            for (int round = 0; round < 2; ++round) {
                try {
                    pipeline.flush();
                    ADD_FAILURE() << "flush passed";
                } catch (const io::NameTakenException& e) {
                    EXPECT_EQ(e.message(), "disk full at write " + std::to_string(c.failAt));
                }
            }
        }
        EXPECT_EQ(out.attempts, c.failAt) << "writes after the failure";
        EXPECT_EQ(out.data.size(), static_cast<std::size_t>(c.failAt - 1) * kBuffer);
        EXPECT_TRUE(std::find(out.calls.begin(), out.calls.end(), "f") == out.calls.end());
    }
}

// Holds its first write until released, and says when it has begun it.
class GatedOutput : public RecordingOutput {
  public:
    void write(const void* buffer, std::uint32_t length) override {
        {
            platform::MutexLock hold(mutex_);
            if (writes++ == 0) {
                entered_ = true;
                changed_.notifyAll();
                while (!released_) {
                    changed_.wait(mutex_);
                }
            }
        }
        RecordingOutput::write(buffer, length);
    }
    void waitUntilEntered() {
        platform::MutexLock hold(mutex_);
        while (!entered_) {
            changed_.wait(mutex_);
        }
    }
    void release() {
        platform::MutexLock hold(mutex_);
        released_ = true;
        changed_.notifyAll();
    }
    int writes = 0;

  private:
    platform::Mutex mutex_;
    platform::Condition changed_;
    bool entered_ = false;
    bool released_ = false;
};

TEST(PipelinedOutput, CancelLetsTheWriteInProgressEndAndPassesNothingMore) {
    const std::vector<std::uint8_t> data = pattern(2 * kBuffer + 1);
    GatedOutput out;
    {
        stream::PipelinedOutput pipeline(out, kBuffer, 3);
        // Two full buffers over: the first held in the other output, the second queued.
        pipeline.write(data.data(), static_cast<std::uint32_t>(data.size()));
        out.waitUntilEntered();
        pipeline.cancel();
        out.release();
        EXPECT_THROW(pipeline.write(data.data(), kBuffer * 2), stream::Exception);
        EXPECT_THROW(pipeline.flush(), stream::Exception);
    }
    EXPECT_EQ(out.writes, 1);
    EXPECT_EQ(out.data.size(), kBuffer);
    EXPECT_EQ(out.calls, std::vector<std::string>{"w" + std::to_string(kBuffer)});
}

TEST(PipelinedOutput, CancelFromAnotherThreadWakesAWriterWaitingForABuffer) {
    const std::vector<std::uint8_t> data = pattern(10 * kBuffer);
    GatedOutput out;
    {
        stream::PipelinedOutput pipeline(out, kBuffer, 2);
        platform::Thread canceller([&] {
            out.waitUntilEntered();
            pipeline.cancel();
        });
        ASSERT_TRUE(canceller.started());
        // Both buffers taken while the first write is held: the writer waits until cancelled.
        EXPECT_THROW(pipeline.write(data.data(), static_cast<std::uint32_t>(data.size())),
                     stream::Exception);
        canceller.join();
        out.release();
    }
    EXPECT_EQ(out.writes, 1);
}

TEST(PipelinedOutput, DestructionWithoutFlushWritesNothingMore) {
    const std::vector<std::uint8_t> data = pattern(kBuffer + kBuffer / 2);
    RecordingOutput out;
    {
        stream::PipelinedOutput pipeline(out, kBuffer, 3);
        pipeline.write(data.data(), static_cast<std::uint32_t>(data.size()));
    }
    // The full buffer may or may not have gone over before the cancel; the half never does.
    EXPECT_LE(out.data.size(), kBuffer);
    EXPECT_TRUE(std::equal(out.data.begin(), out.data.end(), data.begin()));
    EXPECT_TRUE(std::find(out.calls.begin(), out.calls.end(), "f") == out.calls.end());
}

TEST(PipelinedOutput, NoBuffersOrOneBufferIsRefused) {
    const std::pair<std::uint32_t, unsigned> cases[] = {{0, 3}, {kBuffer, 1}, {kBuffer, 0}};
    for (const auto& c : cases) {
        RecordingOutput out;
        try {
            stream::PipelinedOutput pipeline(out, c.first, c.second);
            ADD_FAILURE() << c.first << " bytes, " << c.second << " buffers accepted";
        } catch (const stream::Exception& e) {
            EXPECT_EQ(e.message(), "buffers too small or too few in stream::PipelinedOutput");
        }
    }
}

}  // namespace
