// Encrypts what is written to it on its way to another output, leaving the caller's buffers
// plain. Neither the output nor the cipher is owned.
// Kept as part of the archive library's API; no program of ours calls it yet.
#pragma once

#include "algorithm/Cipher.h"
#include "stream/Filter.h"

namespace stream {

class CipherOutput : public OutputFilter {
  public:
    CipherOutput(OutputStream& next, algorithm::Cipher& cipher)
        : OutputFilter(next), cipher_(cipher) {}

    void put(std::uint8_t byte) override;
    void write(const void* buffer, std::uint32_t length) override;
    // Filled and copied bytes are encrypted like written ones.
    void fill(std::uint64_t count, std::uint8_t byte) override;
    std::uint64_t copyFrom(InputStream& input, std::uint64_t count) override;

  private:
    algorithm::Cipher& cipher_;
};

}  // namespace stream
