// The traditional Zip encryption: a byte stream cipher driven by three 32-bit keys that are
// seeded from the password and updated with every plain byte. Zip reads it through the 12-byte
// encryption header and then the entry's data, with one key state running through both.
#pragma once

#include <cstdint>
#include <string>

#include "algorithm/Cipher.h"

namespace algorithm {
namespace zip {

class TraditionalCipher : public Cipher {
  public:
    TraditionalCipher() { reset(); }
    explicit TraditionalCipher(std::string password) : password_(std::move(password)) { reset(); }

    // Takes effect at the next reset(). Only the low 8 bits of each character count.
    void setPassword(const std::string& password) { password_ = password; }
    const std::string& password() const { return password_; }

    // Keys from the fixed start values and the password.
    void reset() override;
    void encrypt(std::uint8_t* buffer, std::uint32_t length) override;
    void decrypt(std::uint8_t* buffer, std::uint32_t length) override;

    std::uint32_t key0() const { return key0_; }
    std::uint32_t key1() const { return key1_; }
    std::uint32_t key2() const { return key2_; }

  private:
    void updateKeys(std::uint8_t plain);
    std::uint8_t streamByte() const;

    std::string password_;
    std::uint32_t key0_ = 0;
    std::uint32_t key1_ = 0;
    std::uint32_t key2_ = 0;
};

}  // namespace zip
}  // namespace algorithm
