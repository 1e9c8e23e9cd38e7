// A central directory record: one per entry, with the entry's sizes, CRC, method and the
// offset of its local header. It can also write the local header that belongs to it.
#pragma once

#include <string>

#include "format/zip/Header.h"

namespace format {
namespace zip {

class CentralHeader : public Header {
  public:
    static constexpr Signature kSignature = {0x50, 0x4B, 0x01, 0x02};
    static constexpr std::uint64_t kFixedSize = 46;

    bool isValid() const override { return signature == kSignature; }
    void read(stream::InputStream& input, bool check) override;
    void write(stream::OutputStream& output);
    std::uint64_t size() const override {
        return kFixedSize + name.size() + extra.size() + comment.size();
    }

    // Writes the local header with this record's shared fields, name and extra field.
    void writeLocal(stream::OutputStream& output);
    // Writes the fields shared with the local header, from versionNeeded to the extra length.
    void writeCommon(stream::OutputStream& output);

    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint8_t method = 0;
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t diskNumberStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localHeaderOffset = 0;
    std::string name;
    std::string extra;
    std::string comment;
    Signature signature = {};
};

}  // namespace zip
}  // namespace format
