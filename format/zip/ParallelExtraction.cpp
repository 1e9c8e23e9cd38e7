#include "format/zip/ParallelExtraction.h"

#include "algorithm/Algorithm.h"
#include "archive/Archive.h"
#include "archive/UnixPermissions.h"
#include "base/Exception.h"
#include "format/zip/ZipReader.h"
#include "stream/BufferedInput.h"
#include "stream/PositionedInput.h"

namespace format {
namespace zip {

namespace {

constexpr std::uint32_t kRecordBuffer = 0x10000;

// What a worker's decoder relays its progress to: the pool's byte count, not the archive's
// handlers, which belong to the calling thread. Answers false, which the decoder turns into a
// cancel of its entry, once the entry should stop.
struct WorkerProgress {
    WorkerPool& pool;
    std::size_t index;
    std::uint64_t told = 0;

    void add(std::uint64_t done) {
        if (done > told) {
            pool.bytes += done - told;
            told = done;
        }
    }
    static bool onProgress(std::uint64_t done, void* user) {
        auto* progress = static_cast<WorkerProgress*>(user);
        progress->add(done);
        return !progress->pool.stopping(progress->index);
    }
};

// Restores the reader's hand-over hook however the run ends.
class HandOver {
  public:
    HandOver(ParallelExtraction*& hook, ParallelExtraction* extraction) : hook_(hook) {
        hook_ = extraction;
    }
    HandOver(const HandOver&) = delete;
    HandOver& operator=(const HandOver&) = delete;
    ~HandOver() { hook_ = nullptr; }

  private:
    ParallelExtraction*& hook_;
};

}  // namespace

ParallelExtraction::ParallelExtraction(ZipReader& reader, stream::RandomInput& archiveInput,
                                       unsigned threads)
    : reader_(reader),
      source_(archiveInput),
      threads_(threads),
      pool_(threads, [this](EntryJob& job) { decode(job); }) {}

ParallelExtraction::~ParallelExtraction() {
    pool_.stopAll();
}

void ParallelExtraction::run() {
    HandOver handOver(reader_.parallel_, this);
    try {
        extractAll();
    } catch (const brindle5::exception::Evacuation&) {
        cancel();
        throw;
    } catch (...) {
        // A failure of the calling thread's own (a name, a password): the one-thread run would
        // have finished every entry before it, and an earlier entry's failure comes first.
        try {
            drain();
        } catch (const brindle5::exception::Evacuation&) {
            cancel();
            throw;
        }
        throw;
    }
}

void ParallelExtraction::extractAll() {
    // The calling thread reads at places of its own too: on Windows a worker's read may move the
    // shared handle's position.
    stream::PositionedInput positioned(source_, 0);
    stream::BufferedInput input(positioned, kRecordBuffer);
    reader_.unlockFirstEncrypted(input);
    const std::size_t limit = threads_ * kJobsPerWorker;
    for (std::size_t i = 0; i < reader_.entries_.size(); ++i) {
        retireFinished();
        if (pool_.anyFailed()) {
            // The run ends at that entry or before it: nothing after it is started.
            drain();
        }
        while (jobs_.size() >= limit) {
            waitForFront();
        }
        // The reader counts what this thread produces (links, skipped entries) on from the bytes
        // of every worker, so that progress never goes back.
        const std::uint64_t before = pool_.bytes.load();
        reader_.produced() = before;
        reader_.extractEntry(input, reader_.entries_[i], reader_.locals_[i]);
        pool_.bytes += reader_.produced() - before;
        tellProgress();
    }
    drain();
    reader_.produced() = pool_.bytes.load();
    tellProgress();
    reader_.archive().currentItem().reset();
}

void ParallelExtraction::startFile(stream::RandomInput& input, const PendingEntry& entry,
                                   const EntryValues& values) {
    vessel5::Archive& archive = reader_.archive();
    vessel5::FileItem& item = archive.currentItem();
    auto job = std::make_unique<EntryJob>();
    job->index = static_cast<std::size_t>(&entry - reader_.entries_.data());
    job->entry = &entry;
    job->values = values;
    job->start = input.tell();
    job->decryption = std::move(reader_.unlocked_);
    job->output = std::make_unique<stream::FileOutput>();
    item.name = reader_.createOutputFile(*job->output, item.name, ZipReader::kCreateAttempts);
    if (archive.keepsUnixPermissions()) {
        job->mode = vessel5::unixPermissionsOf(item);
    }
    job->item = item;
    jobs_.push_back(std::move(job));
    pool_.submit(*jobs_.back());
}

void ParallelExtraction::decode(EntryJob& job) {
    stream::FileOutput& output = *job.output;
    try {
        vessel5::Archive relay;
        WorkerProgress progress{pool_, job.index};
        relay.onProgress(&WorkerProgress::onProgress, &progress);
        stream::PositionedInput input(source_, job.start);
        std::uint64_t produced = 0;
        try {
            decodeEntryData(relay, input, output, job.values, std::move(job.decryption), produced,
                            threads_);
        } catch (const algorithm::Exception& e) {
            // A decoder knows its data, not the entry it belongs to; the user needs both.
            throw algorithm::Exception(e.message() + " for " + job.entry->name, e.kind());
        }
        progress.add(produced);
        output.flush();
        reader_.setModificationTime(output, *job.entry, job.values);
        if (job.mode != 0) {
            // A file whose bits cannot be set keeps its contents: no reason to fail.
            output.file().setUnixPermissions(job.mode);
        }
        output.close();
    } catch (...) {
        try {
            output.close();
        } catch (const generic::exception&) {
            // The entry's own failure is the one to report.
        }
        job.error = std::current_exception();
    }
}

void ParallelExtraction::retireFinished() {
    vessel5::Archive& archive = reader_.archive();
    while (!jobs_.empty() && pool_.finished(*jobs_.front())) {
        std::unique_ptr<EntryJob> job = std::move(jobs_.front());
        jobs_.pop_front();
        if (job->error || job->stopped) {
            fail(*job);
        }
        archive.currentItem() = job->item;
        archive.recordWritten(job->entry->name, job->item.name);
        archive.notify(vessel5::kItemDone);
        archive.currentItem().reset();
    }
}

void ParallelExtraction::fail(EntryJob& job) {
    pool_.stopAll();
    // The one-thread run never wrote the entries after this one.
    for (auto& later : jobs_) {
        discard(*later);
    }
    jobs_.clear();
    vessel5::Archive& archive = reader_.archive();
    archive.currentItem() = job.item;
    if (archive.dispatch(vessel5::kItemFailed)) {
        discard(job);
    }
    if (job.error) {
        std::rethrow_exception(job.error);
    }
    // Stopped before it began, which happens only once the run is stopping.
    throw brindle5::exception::Evacuation();
}

void ParallelExtraction::waitForFront() {
    pool_.waitFor(*jobs_.front(), kProgressInterval);
    tellProgress();
    retireFinished();
}

void ParallelExtraction::drain() {
    while (!jobs_.empty()) {
        waitForFront();
    }
}

void ParallelExtraction::tellProgress() {
    vessel5::Archive& archive = reader_.archive();
    // The entry at hand is the one the run waits for: a progress display shows that one, not the
    // last one started.
    if (!jobs_.empty()) {
        archive.currentItem() = jobs_.front()->item;
    }
    if (!archive.dispatch(vessel5::kProgress, pool_.bytes.load())) {
        throw brindle5::exception::Evacuation();
    }
}

void ParallelExtraction::cancel() {
    pool_.stopAll();
    vessel5::Archive& archive = reader_.archive();
    bool first = true;
    for (auto& job : jobs_) {
        try {
            const bool complete = job->finished && !job->error && !job->stopped;
            archive.currentItem() = job->item;
            if (first && complete) {
                // Finished before the cancel, as on one thread.
                archive.recordWritten(job->entry->name, job->item.name);
                archive.notify(vessel5::kItemDone);
                continue;
            }
            if (!first || archive.dispatch(vessel5::kItemFailed)) {
                discard(*job);
            }
            first = false;
        } catch (const generic::exception&) {
            // The cancel is what the run reports; a handler's trouble on the way changes nothing.
            discard(*job);
            first = false;
        }
    }
    jobs_.clear();
    archive.currentItem().reset();
}

void ParallelExtraction::discard(EntryJob& job) {
    try {
        job.output->file().unlink();
    } catch (const generic::exception&) {
        // A leftover file is less important than the reason the run ends with.
    }
}

}  // namespace zip
}  // namespace format
