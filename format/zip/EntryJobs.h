// The entries a parallel extraction hands to its worker threads, and the pool that runs them.
// The calling thread creates each entry's file and queues a job for it in central-directory
// order; a worker decodes into the file, closes it and marks the job finished. Only the calling
// thread talks to the archive's handlers: workers report their bytes through an atomic count,
// and are stopped through flags that their progress checks at every buffer.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "archive/Items.h"
#include "format/zip/EntryDecryption.h"
#include "format/zip/PendingEntry.h"
#include "io/FileOutput.h"
#include "platform/Thread.h"

namespace format {
namespace zip {

// One file entry on its way through a worker. What the worker reads is copied in, so that it
// touches nothing the calling thread changes meanwhile.
struct EntryJob {
    // Its place in the central directory.
    std::size_t index = 0;
    const PendingEntry* entry = nullptr;
    EntryValues values;
    // Where the worker starts reading: the data, or past the encryption header once unlocked.
    std::uint64_t start = 0;
    std::unique_ptr<EntryDecryption> decryption;
    std::unique_ptr<stream::FileOutput> output;
    // The permission bits to give the file; 0 for none.
    std::uint32_t mode = 0;
    // The entry as the handlers saw it when it started, told again when it ends.
    vessel5::FileItem item;

    // Set by the worker before it marks the job finished.
    std::exception_ptr error;
    bool stopped = false;  // never started: the run was stopping
    // Guarded by the pool's lock: read it through WorkerPool::finished.
    bool finished = false;
};

class WorkerPool {
  public:
    // Starts `threads` workers, each running `work` on the jobs it takes. `work` must not throw:
    // it keeps a failure in the job.
    WorkerPool(unsigned threads, std::function<void(EntryJob&)> work);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    // Stops and waits for the workers.
    ~WorkerPool();

    // Hands a job over. Without a single worker (the system gave no thread) it runs here.
    void submit(EntryJob& job);
    bool finished(const EntryJob& job);
    // Waits until the job finishes, or at most about `milliseconds`.
    void waitFor(const EntryJob& job, std::uint32_t milliseconds);

    // Whether the worker of job `index` should give up at its next buffer: after stopAll, or when
    // an entry before it failed (the run ends there, so later work would be thrown away).
    bool stopping(std::size_t index) const {
        return stopped_.load(std::memory_order_relaxed) ||
               index > firstFailed_.load(std::memory_order_relaxed);
    }
    void markFailed(std::size_t index);
    bool anyFailed() const { return firstFailed_.load() != kNone; }
    // Queued jobs are not started; running ones stop at their next buffer. Then waits for every
    // worker to end.
    void stopAll();

    // Bytes the workers have written so far.
    std::atomic<std::uint64_t> bytes{0};

  private:
    static constexpr std::size_t kNone = ~std::size_t(0);

    void runWorker();
    void run(EntryJob& job);
    void joinAll();

    std::function<void(EntryJob&)> work_;
    platform::Mutex mutex_;
    platform::Condition queued_;
    platform::Condition done_;
    std::deque<EntryJob*> queue_;
    bool closing_ = false;
    std::atomic<bool> stopped_{false};
    std::atomic<std::size_t> firstFailed_{kNone};
    std::vector<std::unique_ptr<platform::Thread>> threads_;
};

}  // namespace zip
}  // namespace format
