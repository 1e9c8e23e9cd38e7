// The cryptography that Zip encryption needs, taken from the system (Windows: CNG, bcrypt.dll,
// loaded from the system folder when first needed) or from a well-kept library (POSIX:
// libtomcrypt, linked statically, and getrandom): AES block encryption, HMAC-SHA1,
// PBKDF2-HMAC-SHA1 and random bytes. Nothing here is written by hand. Like the rest of the
// platform layer it reports a failure by its result; the callers turn that into an exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
namespace crypto {

constexpr std::size_t kAesBlockSize = 16;
constexpr std::size_t kSha1Size = 20;

// AES encryption of whole blocks under one key, each block on its own (ECB): counter modes are
// built on it by the caller.
class Aes {
  public:
    Aes();
    Aes(const Aes&) = delete;
    Aes& operator=(const Aes&) = delete;
    ~Aes();

    // A key of 16, 24 or 32 bytes; false for another length or when the system has no AES.
    bool setKey(const std::uint8_t* key, std::size_t length);
    // Encrypts `blocks` blocks of 16 bytes from in to out (which may be the same buffer).
    bool encryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// HMAC-SHA1 over data given in pieces.
class HmacSha1 {
  public:
    HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;
    ~HmacSha1();

    // Starts a new code under key (any length).
    bool start(const std::uint8_t* key, std::size_t length);
    bool update(const std::uint8_t* data, std::size_t length);
    // The 20-byte code of everything given since start().
    bool finish(std::uint8_t* code);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// PBKDF2 (RFC 8018) with HMAC-SHA1: `length` bytes derived from password and salt.
bool pbkdf2HmacSha1(const std::string& password, const std::uint8_t* salt, std::size_t saltLength,
                    unsigned iterations, std::uint8_t* out, std::size_t length);

// Bytes from the system's random source, fit for keys and salts.
bool randomBytes(std::uint8_t* out, std::size_t length);

}  // namespace crypto
}  // namespace platform
