// Hands what is written to it to another output (not owned) on a second thread, a large buffer
// at a time, so that the writer (a decoder) fills the next buffer while the second thread passes
// the last one on (a checksum and a file write). Memory is bounded by the buffers given at
// construction; a writer that gets ahead waits for a free one.
//
// A failure of the other output (a write error, a full disk) is kept and thrown to the writer as
// the same exception at its next write or flush(); nothing further is passed on after it.
// cancel() (a writer that gives up, for example on a cancelled extraction) stops the second thread
// without passing on what waits. Destruction cancels and waits for the second thread: bytes not
// flushed by then are dropped, never written, so only flush() completes the data.
//
// When the system gives no thread, every full buffer is passed on by the writer itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>

#include "platform/Thread.h"
#include "stream/Stream.h"

namespace stream {

class PipelinedOutput : public OutputStream {
  public:
    // Throws stream::Exception for a buffer size of 0 or fewer than 2 buffers.
    PipelinedOutput(OutputStream& next, std::uint32_t bufferSize, unsigned bufferCount);
    PipelinedOutput(const PipelinedOutput&) = delete;
    PipelinedOutput& operator=(const PipelinedOutput&) = delete;
    ~PipelinedOutput() override;

    void put(std::uint8_t byte) override {
        if (count_ == bufferSize_) {
            handOver();
        }
        current_[count_++] = byte;
        ++position_;
    }
    void write(const void* buffer, std::uint32_t length) override;
    // Hands over the waiting bytes, waits until the second thread has passed on everything, then
    // flushes the other output (from this thread: the second one is idle by then).
    void flush() override;
    // Stops the second thread at its next buffer and returns at once; a write the other output
    // is in the middle of ends normally. Writes and flushes afterwards throw.
    void cancel();
    // The bytes written through this stream, counted from the other output's position at
    // construction.
    std::uint64_t tell() override { return position_; }
    std::uint64_t size() override { return position_; }
    void close() override {}

    std::uint32_t bufferSize() const { return bufferSize_; }

  private:
    // Queues the writer's buffer (when it holds anything) and waits for a free one.
    void handOver();
    // Queues the writer's buffer, with mutex_ held.
    void queueLocked();
    // Throw the other output's failure, or stream::Exception after cancel(); the second with
    // mutex_ held.
    void throwIfStopped();
    void throwIfStoppedLocked();
    // Keeps the exception being handled for the writer, which throws it at its next write or
    // flush.
    void keepFailure();
    // The second thread's body.
    void passOn();

    OutputStream& next_;
    const std::uint32_t bufferSize_;
    const unsigned bufferCount_;
    // The buffers one after another, and the bytes each holds once queued.
    std::unique_ptr<std::uint8_t[]> buffers_;
    std::unique_ptr<std::uint32_t[]> lengths_;
    // The buffer the writer fills (its number and place) and the bytes in it; the writer's
    // alone.
    unsigned fill_ = 0;
    std::uint8_t* current_ = nullptr;
    std::uint32_t count_ = 0;
    std::uint64_t position_ = 0;

    // Under mutex_: the queued buffers are `queued_` buffers from number `first_` on, in order,
    // and the writer's is the one after them; the second thread keeps the first one queued
    // while passing it on, so that the writer cannot refill it.
    platform::Mutex mutex_;
    platform::Condition queuedOne_;
    platform::Condition freedOne_;
    unsigned first_ = 0;
    unsigned queued_ = 0;
    bool cancelled_ = false;
    std::exception_ptr failure_;
    // Set with failure_: lets write() look without taking the lock.
    std::atomic<bool> failed_{false};

    // Last, so that it starts after everything it uses is made.
    std::unique_ptr<platform::Thread> thread_;
};

}  // namespace stream
