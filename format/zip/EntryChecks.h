// The checks that keep what an archive declares and what it holds in step: the central record
// is the truth about each entry, no two entries share bytes, and no entry's output is longer or
// shorter than the size it declares.
#pragma once

#include <cstdint>
#include <vector>

#include "format/zip/LocalHeader.h"
#include "format/zip/PendingEntry.h"
#include "stream/Filter.h"

namespace format {
namespace zip {

// Throws BadFormat when an entry's local header and data (as the central directory gives their
// least extent) reach into another entry's: many records pointing at one stream is how a small
// file declares an unbounded output.
void checkNoOverlap(const std::vector<PendingEntry>& entries);

// Throws BadFormat when the local header names another entry than its central record (another
// name, or a folder for a file or the other way round).
void checkLocalMatchesCentral(const LocalHeader& local, const PendingEntry& entry);

// Passes on at most `limit` bytes: one byte more throws BadData, and finish() throws BadData
// when fewer came.
class SizeLimitedOutput : public stream::OutputFilter {
  public:
    SizeLimitedOutput(stream::OutputStream& next, std::uint64_t limit)
        : stream::OutputFilter(next), limit_(limit) {}

    void put(std::uint8_t byte) override;
    void write(const void* buffer, std::uint32_t length) override;
    void fill(std::uint64_t count, std::uint8_t byte) override;
    std::uint64_t copyFrom(stream::InputStream& input, std::uint64_t count) override;

    void finish() const;

  private:
    void take(std::uint64_t count);

    std::uint64_t limit_;
    std::uint64_t written_ = 0;
};

}  // namespace zip
}  // namespace format
