#include "algorithm/zip/TraditionalCipher.h"

#include "algorithm/CRC32.h"

namespace algorithm {
namespace zip {

namespace {
inline std::uint32_t crcStep(std::uint32_t c, std::uint8_t b) {
    return (c >> 8) ^ crc32Table()[(c ^ b) & 0xFF];
}
}  // namespace

void TraditionalCipher::reset() {
    key0_ = 0x12345678u;
    key1_ = 0x23456789u;
    key2_ = 0x34567890u;
    for (char c : password_) {
        updateKeys(static_cast<std::uint8_t>(c));
    }
}

inline void TraditionalCipher::updateKeys(std::uint8_t plain) {
    key0_ = crcStep(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1u;
    key2_ = crcStep(key2_, static_cast<std::uint8_t>(key1_ >> 24));
}

inline std::uint8_t TraditionalCipher::streamByte() const {
    std::uint32_t t = (key2_ & 0xFFFF) | 2u;
    return static_cast<std::uint8_t>((t * (t ^ 1u)) >> 8);
}

void TraditionalCipher::encrypt(std::uint8_t* buffer, std::uint32_t length) {
    for (std::uint32_t i = 0; i < length; ++i) {
        std::uint8_t k = streamByte();
        std::uint8_t plain = buffer[i];
        updateKeys(plain);
        buffer[i] = plain ^ k;
    }
}

void TraditionalCipher::decrypt(std::uint8_t* buffer, std::uint32_t length) {
    for (std::uint32_t i = 0; i < length; ++i) {
        std::uint8_t plain = buffer[i] ^ streamByte();
        updateKeys(plain);
        buffer[i] = plain;
    }
}

}  // namespace zip
}  // namespace algorithm
