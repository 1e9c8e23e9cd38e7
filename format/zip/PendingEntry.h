// What the reader keeps of one central record between reading the central directory and
// extracting the entry, with every Zip64 value already widened to 64 bits.
#pragma once

#include <cstdint>
#include <string>

namespace format {
namespace zip {

struct PendingEntry {
    std::uint64_t localHeaderOffset = 0;
    std::uint64_t compressedSize = 0;
    // With a data descriptor the local header's uncompressed size is as untrustworthy as its
    // other sizes, so the central one is kept for that case too.
    std::uint64_t uncompressedSize = 0;
    std::uint32_t crc = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint8_t method = 0;
    // For an AES entry (method 99): its key strength (1 to 3) and the method inside; 0 otherwise.
    std::uint8_t aesStrength = 0;
    std::uint16_t innerMethod = 0;
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    // Where the entry was made and its attributes there (Unix permission bits, for instance).
    std::uint16_t versionMadeBy = 0;
    std::uint32_t externalAttributes = 0;
    // The modification time in ticks when an extra field gives it exactly; 0 otherwise.
    std::uint64_t exactTime = 0;
    // The central record's name decoded to UTF-8: the one truth about what the entry is called.
    std::string name;
    // The name's bytes as stored, which the local header repeats.
    std::string storedName;

    bool isFolder() const { return !name.empty() && name.back() == '/'; }
    // A Unix-made entry whose mode says symbolic link; its data is the link's target.
    bool isLink() const {
        return (versionMadeBy >> 8) == 3 && ((externalAttributes >> 16) & 0170000u) == 0120000u;
    }
};

// The values that drive the decoding of one entry: the local header's, widened by its own Zip64
// field, or the central record's where the local header defers to a data descriptor.
struct EntryValues {
    std::uint16_t flags = 0;
    // The compression method of the data; for an AES entry the one inside the encryption.
    std::uint8_t method = 0;
    // For an AES entry: its key strength (1 to 3) and version (AE-1, AE-2); 0 otherwise.
    std::uint8_t aesStrength = 0;
    std::uint16_t aesVersion = 0;
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

}  // namespace zip
}  // namespace format
