// The 12 encrypted bytes in front of an encrypted entry's data: 11 random bytes and a check
// byte that lets a reader reject a wrong password before decoding anything.
#pragma once

#include <array>
#include <cstdint>

#include "format/zip/Header.h"

namespace algorithm {
class Cipher;
}

namespace format {
namespace zip {

class EncryptionHeader : public Header {
  public:
    static constexpr std::uint64_t kSize = 12;

    // The cipher is used for both directions and must then carry on with the entry's data, as
    // its key state has advanced through the header.
    explicit EncryptionHeader(algorithm::Cipher& cipher) : cipher_(cipher) {}

    // With an expect value: whether the last header byte equals it; without one: always.
    bool isValid() const override;
    // Reads and decrypts the next 12 bytes; with check set, a wrong check byte throws.
    void read(stream::InputStream& input, bool check) override;
    // Fills 11 random bytes and the expect value, encrypts and writes them; the bytes kept stay
    // plain. Throws without an expect value. Kept as part of the archive library's API; no program
    // of ours calls it yet.
    void write(stream::OutputStream& output);
    std::uint64_t size() const override { return kSize; }

    void setExpect(std::uint8_t value) {
        expect_ = value;
        hasExpect_ = true;
    }
    bool hasExpect() const { return hasExpect_; }
    std::uint8_t expect() const { return expect_; }

    // Plain form, after read or write.
    const std::array<std::uint8_t, kSize>& bytes() const { return bytes_; }

  private:
    std::uint8_t expect_ = 0;
    bool hasExpect_ = false;
    algorithm::Cipher& cipher_;
    std::array<std::uint8_t, kSize> bytes_ = {};
};

}  // namespace zip
}  // namespace format
