// The checks that keep what an archive declares and what it holds in step: the central record
// is the truth about each entry, no two entries share bytes, and no entry's output is longer or
// shorter than the size it declares.
#pragma once

#include <cstdint>
#include <vector>

#include "format/zip/LocalHeader.h"
#include "format/zip/LocalHeaders.h"
#include "format/zip/PendingEntry.h"
#include "stream/Filter.h"

namespace format {
namespace zip {

// Throws BadFormat, naming two entries, when the bytes one entry's extraction reads (its local
// header, name, extra field and data, as readLocalHeaders found them) reach into another's: many
// records pointing at one stream is how a small file declares an unbounded output. locals holds
// one element per entry, in the same order.
void checkNoOverlap(const std::vector<PendingEntry>& entries,
                    const std::vector<LocalEntry>& locals);

// Throws BadFormat, naming the entry, when its local header disagrees with its central record:
// another name (or a folder for a file, or the other way round), another method, other flags of
// those that decide decoding, or, unless a data descriptor holds them, another CRC-32 or other
// sizes. values are the local header's, as they will decode the entry.
void checkLocalMatchesCentral(const LocalHeader& local, const EntryValues& values,
                              const PendingEntry& entry);
// The same for an AES entry's extra field: the key strength and the method inside the encryption
// that values took from the local header must be those of the central record. Otherwise the
// listing and the checks of the whole directory judge one method and extraction runs another.
void checkLocalAesMatchesCentral(const EntryValues& values, const PendingEntry& entry);

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
