#include "algorithm/zip/WinZipAes.h"

#include "base/Exception.h"

namespace algorithm {
namespace zip {

namespace {

void require(bool done, const char* what) {
    if (!done) {
        throw Exception(std::string("the system's cryptography failed (") + what +
                        ") in algorithm::zip::WinZipAes");
    }
}

}  // namespace

bool aesStrength(std::uint8_t strength, AesStrength& sizes) {
    if (strength < 1 || strength > 3) {
        return false;
    }
    sizes.keyLength = 8u + 8u * strength;
    sizes.saltLength = 4u + 4u * strength;
    return true;
}

std::size_t aesOverhead(std::uint8_t strength) {
    AesStrength sizes = {};
    return aesStrength(strength, sizes) ? sizes.saltLength + kAesVerifierSize + kAesCodeSize : 0;
}

WinZipAesKeys::WinZipAesKeys(std::uint8_t strength, const std::string& password,
                             const std::uint8_t* salt) {
    AesStrength sizes = {};
    if (!aesStrength(strength, sizes)) {
        throw Exception("unknown AES key strength in algorithm::zip::WinZipAesKeys");
    }
    keyLength_ = sizes.keyLength;
    derived_.resize(2 * keyLength_ + kAesVerifierSize);
    require(platform::crypto::pbkdf2HmacSha1(password, salt, sizes.saltLength, kAesIterations,
                                             derived_.data(), derived_.size()),
            "PBKDF2");
}

WinZipAesKeys::~WinZipAesKeys() {
    volatile std::uint8_t* bytes = derived_.data();
    for (std::size_t i = 0; i < derived_.size(); ++i) {
        bytes[i] = 0;
    }
}

bool WinZipAesKeys::fits(const std::uint8_t* verifier) const {
    return verifier[0] == this->verifier()[0] && verifier[1] == this->verifier()[1];
}

WinZipAesCipher::WinZipAesCipher(const WinZipAesKeys& keys) {
    require(aes_.setKey(keys.encryptionKey(), keys.keyLength()), "AES key");
    require(hmac_.start(keys.authenticationKey(), keys.keyLength()), "HMAC-SHA1");
}

void WinZipAesCipher::refill() {
    constexpr std::size_t kBlock = platform::crypto::kAesBlockSize;
    for (std::size_t block = 0; block < kBatchBlocks; ++block) {
        ++counter_;
        std::uint8_t* counter = stream_.data() + block * kBlock;
        // 64 bits of counter are more than any entry needs; the upper half stays zero.
        for (std::size_t i = 0; i < kBlock; ++i) {
            counter[i] = i < 8 ? static_cast<std::uint8_t>(counter_ >> (8 * i)) : 0;
        }
    }
    require(aes_.encryptBlocks(stream_.data(), stream_.data(), kBatchBlocks), "AES");
    used_ = 0;
}

void WinZipAesCipher::crypt(std::uint8_t* buffer, std::uint32_t length) {
    for (std::uint32_t i = 0; i < length; ++i) {
        if (used_ == stream_.size()) {
            refill();
        }
        buffer[i] ^= stream_[used_++];
    }
}

void WinZipAesCipher::authenticate(const std::uint8_t* buffer, std::uint32_t length) {
    require(hmac_.update(buffer, length), "HMAC-SHA1");
}

void WinZipAesCipher::decrypt(std::uint8_t* buffer, std::uint32_t length) {
    authenticate(buffer, length);
    crypt(buffer, length);
}

void WinZipAesCipher::encrypt(std::uint8_t* buffer, std::uint32_t length) {
    crypt(buffer, length);
    authenticate(buffer, length);
}

std::array<std::uint8_t, kAesCodeSize> WinZipAesCipher::code() {
    std::uint8_t full[platform::crypto::kSha1Size];
    require(hmac_.finish(full), "HMAC-SHA1");
    std::array<std::uint8_t, kAesCodeSize> code = {};
    for (std::size_t i = 0; i < kAesCodeSize; ++i) {
        code[i] = full[i];
    }
    return code;
}

}  // namespace zip
}  // namespace algorithm
