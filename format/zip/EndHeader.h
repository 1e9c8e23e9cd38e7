// The end of central directory record: where the central directory is and how many records it
// holds; the one record a Zip reader can find from the end of the archive.
#pragma once

#include <string>

#include "format/zip/Header.h"

namespace format {
namespace zip {

class EndHeader : public Header {
  public:
    static constexpr Signature kSignature = {0x50, 0x4B, 0x05, 0x06};
    static constexpr std::uint64_t kFixedSize = 22;
    // The farthest the record can start before the end: fixed part plus the longest comment.
    static constexpr std::uint64_t kSearchWindow = kFixedSize + kMaxFieldLength;
    static constexpr std::uint64_t kNotFound = ~std::uint64_t(0);

    bool isValid() const override { return signature == kSignature; }
    void read(stream::InputStream& input, bool check) override;
    void write(stream::OutputStream& output);
    std::uint64_t size() const override { return kFixedSize + comment.size(); }

    // Position of the end record in the input, or kNotFound. The signature nearest to the end
    // wins; nothing but the signature is checked.
    virtual std::uint64_t locate(stream::RandomInput& input);

    std::uint16_t diskNumber = 0;
    std::uint16_t centralDisk = 0;
    std::uint16_t diskEntries = 0;
    std::uint16_t totalEntries = 0;
    std::uint32_t centralSize = 0;
    std::uint32_t centralOffset = 0;
    std::string comment;
    Signature signature = {};
};

}  // namespace zip
}  // namespace format
