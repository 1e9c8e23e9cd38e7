// What the reader keeps of one central record between reading the central directory and
// extracting the entry.
#pragma once

#include <cstdint>
#include <string>

namespace format {
namespace zip {

struct PendingEntry {
    std::uint32_t localHeaderOffset = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t crc = 0;
    // With a data descriptor the local header's uncompressed size is as untrustworthy as its
    // other sizes, so the central one is kept for that case too.
    std::uint32_t uncompressedSize = 0;
    // Where the entry was made and its attributes there (Unix permission bits, for instance).
    std::uint16_t versionMadeBy = 0;
    std::uint32_t externalAttributes = 0;
    // The central record's name, for reports about an entry whose local header is unreadable.
    std::string name;
};

}  // namespace zip
}  // namespace format
