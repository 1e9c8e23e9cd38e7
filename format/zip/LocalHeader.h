// A local file header: the record in front of each entry's data. Its values, not the central
// record's, drive the decoding of the entry.
#pragma once

#include <string>

#include "format/zip/Header.h"

namespace format {
namespace zip {

class LocalHeader : public Header {
  public:
    static constexpr Signature kSignature = {0x50, 0x4B, 0x03, 0x04};
    static constexpr std::uint64_t kFixedSize = 30;

    bool isValid() const override { return signature == kSignature; }
    void read(stream::InputStream& input, bool check) override;
    void write(stream::OutputStream& output);
    std::uint64_t size() const override { return kFixedSize + name.size() + extra.size(); }

    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint8_t method = 0;
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::string name;
    std::string extra;
    Signature signature = {};
};

// General-purpose flag bits that the reader interprets.
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;

}  // namespace zip
}  // namespace format
