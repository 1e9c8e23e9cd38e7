#include "format/zip/EntryJobs.h"

namespace format {
namespace zip {

WorkerPool::WorkerPool(unsigned threads, std::function<void(EntryJob&)> work)
    : work_(std::move(work)) {
    for (unsigned i = 0; i < threads; ++i) {
        auto thread = std::make_unique<platform::Thread>([this] { runWorker(); });
        if (!thread->started()) {
            break;
        }
        threads_.push_back(std::move(thread));
    }
}

WorkerPool::~WorkerPool() {
    stopAll();
}

void WorkerPool::submit(EntryJob& job) {
    if (threads_.empty()) {
        run(job);
        return;
    }
    {
        platform::MutexLock lock(mutex_);
        queue_.push_back(&job);
    }
    queued_.notifyOne();
}

bool WorkerPool::finished(const EntryJob& job) {
    platform::MutexLock lock(mutex_);
    return job.finished;
}

void WorkerPool::waitFor(const EntryJob& job, std::uint32_t milliseconds) {
    platform::MutexLock lock(mutex_);
    if (!job.finished) {
        done_.waitFor(mutex_, milliseconds);
    }
}

void WorkerPool::markFailed(std::size_t index) {
    std::size_t first = firstFailed_.load();
    while (index < first && !firstFailed_.compare_exchange_weak(first, index)) {
    }
}

void WorkerPool::stopAll() {
    stopped_ = true;
    {
        platform::MutexLock lock(mutex_);
        closing_ = true;
        queue_.clear();
    }
    queued_.notifyAll();
    for (auto& thread : threads_) {
        thread->join();
    }
}

void WorkerPool::runWorker() {
    for (;;) {
        EntryJob* job = nullptr;
        {
            platform::MutexLock lock(mutex_);
            while (queue_.empty() && !closing_) {
                queued_.wait(mutex_);
            }
            if (queue_.empty()) {
                return;
            }
            job = queue_.front();
            queue_.pop_front();
        }
        run(*job);
    }
}

void WorkerPool::run(EntryJob& job) {
    if (stopping(job.index)) {
        job.stopped = true;
    } else {
        work_(job);
        if (job.error) {
            markFailed(job.index);
        }
    }
    {
        platform::MutexLock lock(mutex_);
        job.finished = true;
    }
    done_.notifyAll();
}

}  // namespace zip
}  // namespace format
