// Passes everything written to it on to another output and feeds the same bytes to a checksum
// (neither owned), so that decoded data is checked on its way to the file.
#pragma once

#include "algorithm/Checksum.h"
#include "stream/Filter.h"

namespace stream {

class ChecksumOutput : public OutputFilter {
  public:
    ChecksumOutput(OutputStream& next, algorithm::Checksum& checksum)
        : OutputFilter(next), checksum_(checksum) {}

    void put(std::uint8_t byte) override;
    void write(const void* buffer, std::uint32_t length) override;
    // Filled and copied bytes are checksummed like written ones.
    void fill(std::uint64_t count, std::uint8_t byte) override;
    std::uint64_t copyFrom(InputStream& input, std::uint64_t count) override;

  private:
    algorithm::Checksum& checksum_;
};

}  // namespace stream
