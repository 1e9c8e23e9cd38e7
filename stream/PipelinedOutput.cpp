#include "stream/PipelinedOutput.h"

#include <cstring>

#include "base/Exception.h"

namespace stream {

PipelinedOutput::PipelinedOutput(OutputStream& next, std::uint32_t bufferSize, unsigned bufferCount)
    : next_(next), bufferSize_(bufferSize), bufferCount_(bufferCount) {
    if (bufferSize == 0 || bufferCount < 2) {
        throw Exception("buffers too small or too few in stream::PipelinedOutput");
    }
    buffers_.reset(new std::uint8_t[std::size_t(bufferSize) * bufferCount]);
    lengths_.reset(new std::uint32_t[bufferCount]);
    current_ = buffers_.get();
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
            keepFailure();
            throw;
        }
        count_ = 0;
        return;
    }
    platform::MutexLock lock(mutex_);
    throwIfStoppedLocked();
    queueLocked();
    while (queued_ == bufferCount_ && !failure_ && !cancelled_) {
        freedOne_.wait(mutex_);
    }
    throwIfStoppedLocked();
    current_ = buffers_.get() + std::size_t(fill_) * bufferSize_;
    count_ = 0;
}

void PipelinedOutput::queueLocked() {
    if (count_ > 0) {
        lengths_[fill_] = count_;
        ++queued_;
        fill_ = (fill_ + 1) % bufferCount_;
        queuedOne_.notifyOne();
    }
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
        queueLocked();
        while (queued_ > 0 && !failure_ && !cancelled_) {
            freedOne_.wait(mutex_);
        }
        throwIfStoppedLocked();
        current_ = buffers_.get() + std::size_t(fill_) * bufferSize_;
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

void PipelinedOutput::keepFailure() {
    platform::MutexLock lock(mutex_);
    failure_ = std::current_exception();
    failed_.store(true, std::memory_order_relaxed);
    // A writer waiting for a buffer learns of it at once.
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
        const std::uint8_t* bytes = nullptr;
        std::uint32_t length = 0;
        {
            platform::MutexLock lock(mutex_);
            while (queued_ == 0 && !cancelled_) {
                queuedOne_.wait(mutex_);
            }
            if (cancelled_) {
                return;
            }
            bytes = buffers_.get() + std::size_t(first_) * bufferSize_;
            length = lengths_[first_];
        }
        try {
            next_.write(bytes, length);
        } catch (...) {
            keepFailure();
            return;
        }
        platform::MutexLock lock(mutex_);
        first_ = (first_ + 1) % bufferCount_;
        --queued_;
        freedOne_.notifyAll();
    }
}

}  // namespace stream
