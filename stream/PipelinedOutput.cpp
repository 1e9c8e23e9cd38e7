#include "stream/PipelinedOutput.h"

#include <cstring>

#include "base/Exception.h"

namespace stream {

PipelinedOutput::PipelinedOutput(OutputStream& next, std::uint32_t bufferSize, unsigned bufferCount)
    : next_(next), bufferSize_(bufferSize) {
    if (bufferSize == 0 || bufferCount < 2) {
        throw Exception("buffers too small or too few in stream::PipelinedOutput");
    }
    slots_.resize(bufferCount);
    for (Slot& slot : slots_) {
        slot.bytes.reset(new std::uint8_t[bufferSize]);
    }
    current_ = slots_[0].bytes.get();
    position_ = next.tell();
    thread_ = std::make_unique<platform::Thread>([this] { passOn(); });
    if (!thread_->started()) {
        thread_.reset();
    }
}

PipelinedOutput::~PipelinedOutput() {
    cancel();
    thread_.reset();
}

void PipelinedOutput::write(const void* buffer, std::uint32_t length) {
    if (buffer == nullptr) {
        return;
    }
    if (failed_.load(std::memory_order_relaxed)) {
        throwIfStopped();
    }
    const auto* from = static_cast<const std::uint8_t*>(buffer);
    while (length > 0) {
        if (count_ == bufferSize_) {
            handOver();
        }
        const std::uint32_t room = bufferSize_ - count_;
        const std::uint32_t n = length < room ? length : room;
        std::memcpy(current_ + count_, from, n);
        count_ += n;
        position_ += n;
        from += n;
        length -= n;
    }
}

void PipelinedOutput::handOver() {
    if (!thread_) {
        throwIfStopped();
        try {
            next_.write(current_, count_);
        } catch (...) {
            platform::MutexLock lock(mutex_);
            failure_ = std::current_exception();
            failed_.store(true, std::memory_order_relaxed);
            throw;
        }
        count_ = 0;
        return;
    }
    platform::MutexLock lock(mutex_);
    if (failure_ || cancelled_) {
        throwIfStoppedLocked();
    }
    if (count_ > 0) {
        slots_[fill_].length = count_;
        ++queued_;
        fill_ = (fill_ + 1) % slots_.size();
        queuedOne_.notifyOne();
    }
    while (queued_ == slots_.size() && !failure_ && !cancelled_) {
        freedOne_.wait(mutex_);
    }
    throwIfStoppedLocked();
    current_ = slots_[fill_].bytes.get();
    count_ = 0;
}

void PipelinedOutput::flush() {
    if (!thread_) {
        if (count_ > 0) {
            handOver();
        }
        throwIfStopped();
        next_.flush();
        return;
    }
    {
        platform::MutexLock lock(mutex_);
        throwIfStoppedLocked();
        if (count_ > 0) {
            slots_[fill_].length = count_;
            ++queued_;
            fill_ = (fill_ + 1) % slots_.size();
            queuedOne_.notifyOne();
        }
        while (queued_ > 0 && !failure_ && !cancelled_) {
            freedOne_.wait(mutex_);
        }
        throwIfStoppedLocked();
        current_ = slots_[fill_].bytes.get();
        count_ = 0;
    }
    // The second thread has passed on its last buffer under the lock taken above and waits for
    // another: the other output is this thread's until the next hand-over.
    next_.flush();
}

void PipelinedOutput::cancel() {
    platform::MutexLock lock(mutex_);
    cancelled_ = true;
    queuedOne_.notifyAll();
    freedOne_.notifyAll();
}

void PipelinedOutput::throwIfStopped() {
    platform::MutexLock lock(mutex_);
    throwIfStoppedLocked();
}

void PipelinedOutput::throwIfStoppedLocked() {
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    if (cancelled_) {
        throw Exception("output cancelled in stream::PipelinedOutput");
    }
}

void PipelinedOutput::passOn() {
    for (;;) {
        const Slot* slot = nullptr;
        {
            platform::MutexLock lock(mutex_);
            while (queued_ == 0 && !cancelled_) {
                queuedOne_.wait(mutex_);
            }
            if (cancelled_) {
                return;
            }
            slot = &slots_[first_];
        }
        try {
            next_.write(slot->bytes.get(), slot->length);
        } catch (...) {
            // Kept for the writer, which throws it at its next write or flush.
            platform::MutexLock lock(mutex_);
            failure_ = std::current_exception();
            failed_.store(true, std::memory_order_relaxed);
            freedOne_.notifyAll();
            return;
        }
        platform::MutexLock lock(mutex_);
        first_ = (first_ + 1) % slots_.size();
        --queued_;
        freedOne_.notifyAll();
    }
}

}  // namespace stream
