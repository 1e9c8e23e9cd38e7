// The extra fields the reader understands: the Zip64 extended information (0x0001), which holds
// the 64-bit sizes and offset of a record whose 32-bit fields are full, and the two exact
// modification times (extended timestamp 0x5455, NTFS 0x000a).
#pragma once

#include <cstdint>
#include <string>

namespace format {
namespace zip {

constexpr std::uint16_t kZip64ExtraTag = 0x0001;
constexpr std::uint16_t kNtfsExtraTag = 0x000a;
constexpr std::uint16_t kTimestampExtraTag = 0x5455;
// WinZip's AES field, which an entry of method 99 carries in its central and local records.
constexpr std::uint16_t kAesExtraTag = 0x9901;
constexpr std::uint8_t kAesMethod = 99;
constexpr std::uint32_t kZip64Marker32 = 0xFFFFFFFFu;
constexpr std::uint16_t kZip64Marker16 = 0xFFFFu;

// The values a Zip64 extra field may widen. Each is given its 32-bit (or 16-bit) value on entry.
struct WideValues {
    std::uint64_t uncompressedSize = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t localHeaderOffset = 0;
    std::uint32_t diskNumberStart = 0;
};

// The data of the first extra block with tag, or false when there is none. A block whose length
// runs past the end of the extra field ends the walk: what follows it cannot be trusted.
bool findExtraBlock(const std::string& extra, std::uint16_t tag, std::string& data);

// Replaces each value that holds its marker (0xFFFFFFFF, 0xFFFF for the disk) by the next 64-bit
// (32-bit for the disk) value of the Zip64 block, in the fixed order uncompressed size,
// compressed size, local header offset, disk. A local header has no offset or disk: pass
// withLocation false. Throws BadFormat when a marked value has no counterpart in the block.
void widenFromZip64(const std::string& extra, bool withLocation, WideValues& values);

// The modification time the extra field gives exactly, in ticks (100 ns since 1601 UTC): from
// the NTFS block's first attribute (tag 1), else from the extended timestamp. False when neither
// gives one.
bool exactModificationTime(const std::string& extra, std::uint64_t& ticks);

// The AES field's values: AE-1 (1) or AE-2 (2, whose CRC-32 is not stored), the key strength
// (1 to 3: AES-128, -192, -256) and the compression method of the data inside.
struct AesExtra {
    std::uint16_t version = 0;
    std::uint8_t strength = 0;
    std::uint16_t method = 0;
};

// The AES field of an extra field, or false when there is none or it is not WinZip's ("AE").
bool findAesExtra(const std::string& extra, AesExtra& aes);
// Builds an AES block.
std::string aesExtraBlock(const AesExtra& aes);

// Builds an extended timestamp block holding only the modification time (seconds since 1970 UTC).
std::string timestampExtraBlock(std::int64_t secondsSince1970);
// Builds a Zip64 block of the given values, in the fixed order.
std::string zip64ExtraBlock(const std::uint64_t* values, std::size_t count);

}  // namespace zip
}  // namespace format
