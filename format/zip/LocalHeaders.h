// The pass over every entry's local header that runs before anything is written. Each header is
// read once and held against its central record; what the pass returns (the values that decode
// each entry and the bytes its extraction reads) is what the overlap check judges and what
// extraction then uses, so the bytes checked are the bytes read.
#pragma once

#include <cstdint>
#include <vector>

#include "format/zip/PendingEntry.h"
#include "stream/Stream.h"

namespace format {
namespace zip {

struct LocalEntry {
    // What decodes the data: the local header's values, which the pass has found equal to the
    // central record's (the CRC-32 and sizes come from the central record where the local header
    // defers to a data descriptor).
    EntryValues values;
    // Positions in the input: the local header, the first byte after its name and extra field,
    // and the byte after the data as the decoder reads it (an encryption header included).
    std::uint64_t headerStart = 0;
    std::uint64_t dataStart = 0;
    std::uint64_t dataEnd = 0;
};

// Reads the local header of each entry, in directory order, at base plus the entry's offset.
// Throws BadFormat naming the entry when a header cannot be read or does not lie wholly before
// `limit` (where the central directory starts), when it names another entry, or when its method,
// the flags that decide decoding (encryption, data descriptor, the implode options), its CRC-32
// or its sizes (widened by its own Zip64 field) differ from the central record's.
std::vector<LocalEntry> readLocalHeaders(stream::RandomInput& input, std::uint64_t base,
                                         std::uint64_t limit,
                                         const std::vector<PendingEntry>& entries);

}  // namespace zip
}  // namespace format
