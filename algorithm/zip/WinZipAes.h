// WinZip's AES encryption of Zip entries (AE-1 and AE-2): keys derived from the password and a
// per-entry salt with PBKDF2-HMAC-SHA1, AES in WinZip's counter mode over the data, and an
// HMAC-SHA1 of the encrypted data whose first 10 bytes follow it. The cryptography itself is the
// platform's; this is only how Zip puts it together.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "algorithm/Cipher.h"
#include "platform/Crypto.h"

namespace algorithm {
namespace zip {

constexpr std::size_t kAesVerifierSize = 2;
constexpr std::size_t kAesCodeSize = 10;
constexpr unsigned kAesIterations = 1000;

// The key strength of the 0x9901 extra field: 1, 2 or 3 for AES-128, -192 and -256.
struct AesStrength {
    std::size_t keyLength;
    std::size_t saltLength;
};
// False for a strength that is none of the three.
bool aesStrength(std::uint8_t strength, AesStrength& sizes);
// The bytes an AES entry's compressed size holds besides its data: salt, verifier and code.
std::size_t aesOverhead(std::uint8_t strength);

// The two keys and the verifier that PBKDF2 derives from a password and a salt.
class WinZipAesKeys {
  public:
    // Throws algorithm::Exception for an unknown strength or when the system's cryptography
    // fails.
    WinZipAesKeys(std::uint8_t strength, const std::string& password, const std::uint8_t* salt);
    WinZipAesKeys(const WinZipAesKeys&) = delete;
    WinZipAesKeys& operator=(const WinZipAesKeys&) = delete;
    // Overwrites the keys.
    ~WinZipAesKeys();

    // Whether the 2-byte verifier stored after the salt is the one this password gives.
    bool fits(const std::uint8_t* verifier) const;
    const std::uint8_t* verifier() const { return derived_.data() + 2 * keyLength_; }
    const std::uint8_t* encryptionKey() const { return derived_.data(); }
    const std::uint8_t* authenticationKey() const { return derived_.data() + keyLength_; }
    std::size_t keyLength() const { return keyLength_; }

  private:
    std::size_t keyLength_ = 0;
    std::vector<std::uint8_t> derived_;
};

// AES in WinZip's counter mode: the counter block is a 128-bit little-endian number that starts
// at 1, and each data byte is XORed with the encrypted counter. The HMAC-SHA1 runs over the
// encrypted bytes: after decrypt() on the way in, before encrypt() on the way out.
class WinZipAesCipher : public Cipher {
  public:
    explicit WinZipAesCipher(const WinZipAesKeys& keys);

    void encrypt(std::uint8_t* buffer, std::uint32_t length) override;
    void decrypt(std::uint8_t* buffer, std::uint32_t length) override;

    // The first 10 bytes of the HMAC-SHA1 of every encrypted byte so far; ends the code.
    std::array<std::uint8_t, kAesCodeSize> code();

  private:
    void crypt(std::uint8_t* buffer, std::uint32_t length);
    void authenticate(const std::uint8_t* buffer, std::uint32_t length);
    void refill();

    // Encrypted counter blocks made ahead, in one call to the system per batch.
    static constexpr std::size_t kBatchBlocks = 256;

    platform::crypto::Aes aes_;
    platform::crypto::HmacSha1 hmac_;
    std::uint64_t counter_ = 0;
    std::array<std::uint8_t, kBatchBlocks* platform::crypto::kAesBlockSize> stream_ = {};
    std::size_t used_ = stream_.size();
};

}  // namespace zip
}  // namespace algorithm
