// Extracts a Zip reader's entries with a pool of worker threads, so that a machine's cores decode
// several files at once, while everything a user can see stays as one thread makes it.
//
// The calling thread stays in charge: in central-directory order it makes folders and links,
// decides each output name and creates the file (numbered names come out as they do on one
// thread), asks for passwords and tells the handlers that the entry starts; then a worker decodes
// into the file, sets its time and permissions and closes it. Entries end in central-directory
// order: the calling thread tells kItemDone for each, and reports progress (the bytes of every
// worker) while it waits, with the archive's current item set to the oldest entry not finished. A
// failed entry ends the run as on one thread: the entries before it are completed, its file and the
// files of every entry after it are deleted, and its failure is the one thrown. A cancel stops
// every worker at its next buffer and deletes every file not finished. At most two entries per
// worker are on their way at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "format/zip/EntryJobs.h"
#include "format/zip/PendingEntry.h"
#include "stream/Stream.h"

namespace format {
namespace zip {

class ZipReader;

class ParallelExtraction {
  public:
    // How often, at the least, the handlers hear progress while the calling thread waits: the
    // Windows progress window answers its messages from there.
    static constexpr std::uint32_t kProgressInterval = 50;
    // Entries on their way per worker: one being decoded, one waiting for it.
    static constexpr std::size_t kJobsPerWorker = 2;

    // `archiveInput` must read at given places (readsAt).
    ParallelExtraction(ZipReader& reader, stream::RandomInput& archiveInput, unsigned threads);
    ParallelExtraction(const ParallelExtraction&) = delete;
    ParallelExtraction& operator=(const ParallelExtraction&) = delete;
    ~ParallelExtraction();

    // Extracts every entry but the links, which the reader makes afterwards.
    void run();
    // Called by the reader for a file entry whose kItemStarted was answered: creates its file and
    // hands it to a worker. The input is at the entry's data (past its encryption header).
    void startFile(stream::RandomInput& input, const PendingEntry& entry,
                   const EntryValues& values);

  private:
    void extractAll();
    // On a worker thread.
    void decode(EntryJob& job);
    // Ends the finished entries at the front of the queue in order; throws the first failure.
    void retireFinished();
    void fail(EntryJob& job);
    void waitForFront();
    void drain();
    void tellProgress();
    // After a cancel: keeps the entries finished before the first unfinished one, deletes the
    // rest. Throws nothing.
    void cancel();
    // Deletes the job's file: the entry's run did not reach it, or it failed.
    static void discard(EntryJob& job);

    ZipReader& reader_;
    stream::RandomInput& source_;
    unsigned threads_;
    // The entries handed over and not yet ended, in central-directory order.
    std::deque<std::unique_ptr<EntryJob>> jobs_;
    // Declared after the jobs: destroyed (its workers stopped) before them.
    WorkerPool pool_;
};

}  // namespace zip
}  // namespace format
