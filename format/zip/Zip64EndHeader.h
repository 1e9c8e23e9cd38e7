// The Zip64 end of central directory record and its locator: written in front of the end record
// when the entry count, the central directory's size or its offset outgrow the end record's
// 16- and 32-bit fields. The locator sits right before the end record and says where the Zip64
// record is.
#pragma once

#include <string>

#include "format/zip/Header.h"

namespace format {
namespace zip {

class Zip64EndHeader : public Header {
  public:
    static constexpr Signature kSignature = {0x50, 0x4B, 0x06, 0x06};
    static constexpr std::uint64_t kFixedSize = 56;

    bool isValid() const override { return signature == kSignature; }
    // Reads the fixed part; the extensible data after it is skipped by nobody (the locator
    // follows at the position recordSize gives).
    void read(stream::InputStream& input, bool check) override;
    void write(stream::OutputStream& output);
    std::uint64_t size() const override { return kFixedSize; }

    // The size of the rest of the record, from after this field: 44 without extensible data.
    std::uint64_t recordSize = kFixedSize - 12;
    std::uint16_t versionMadeBy = 45;
    std::uint16_t versionNeeded = 45;
    std::uint32_t diskNumber = 0;
    std::uint32_t centralDisk = 0;
    std::uint64_t diskEntries = 0;
    std::uint64_t totalEntries = 0;
    std::uint64_t centralSize = 0;
    std::uint64_t centralOffset = 0;
    Signature signature = {};
};

class Zip64Locator : public Header {
  public:
    static constexpr Signature kSignature = {0x50, 0x4B, 0x06, 0x07};
    static constexpr std::uint64_t kFixedSize = 20;

    bool isValid() const override { return signature == kSignature; }
    void read(stream::InputStream& input, bool check) override;
    void write(stream::OutputStream& output);
    std::uint64_t size() const override { return kFixedSize; }

    std::uint32_t endDisk = 0;
    // Where the Zip64 end record is, counted like every other offset of the archive.
    std::uint64_t endOffset = 0;
    std::uint32_t totalDisks = 1;
    Signature signature = {};
};

}  // namespace zip
}  // namespace format
