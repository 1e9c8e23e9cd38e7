// Decrypts another input as it is read, with a cipher whose key state runs on from whatever it
// has already decrypted (the Zip encryption header). Neither the input nor the cipher is owned.
#pragma once

#include "algorithm/Cipher.h"
#include "stream/Filter.h"

namespace stream {

class CipherInput : public InputFilter {
  public:
    CipherInput(InputStream& next, algorithm::Cipher& cipher)
        : InputFilter(next), cipher_(cipher) {}

    int get() override;
    std::uint32_t read(void* buffer, std::uint32_t length) override;
    // Skipped bytes are read and decrypted one at a time, so they advance the key state too.
    std::uint64_t skip(std::uint64_t count) override;
    // Copied bytes are decrypted like read ones.
    std::uint64_t copy(OutputStream& output, std::uint64_t count) override;

  private:
    algorithm::Cipher& cipher_;
};

}  // namespace stream
