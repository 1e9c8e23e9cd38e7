// Passes everything written to it on to another output and feeds the same bytes to a checksum
// (neither owned), so that decoded data is checked on its way to the file.
#pragma once

#include "algorithm/Checksum.h"
#include "stream/PassThroughOutput.h"

namespace stream {

class ChecksumOutput : public PassThroughOutput {
  public:
    ChecksumOutput(OutputStream& next, algorithm::Checksum& checksum)
        : PassThroughOutput(next), checksum_(checksum) {}

  protected:
    void passedByte(std::uint8_t byte) override;
    void passedBlock(const void* buffer, std::uint32_t length) override;

  private:
    algorithm::Checksum& checksum_;
};

}  // namespace stream
