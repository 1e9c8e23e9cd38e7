// Reflected table-driven CRCs, and CRC-32 as Zip uses it (polynomial 0xEDB88320, check value
// 0xCBF43926 over "123456789" when started at 0xFFFFFFFF and complemented at the end).
#pragma once

#include <cstddef>
#include <cstdint>

#include "algorithm/Checksum.h"

namespace algorithm {

// The 256-entry table of the CRC-32 polynomial, shared with the traditional Zip cipher.
const std::uint32_t* crc32Table();

// A reflected CRC of any polynomial, with a table computed from the polynomial at construction:
// each byte value's bits are fed lowest first through the shift-and-xor register.
class ReflectedCRC : public Checksum {
  public:
    ReflectedCRC(std::uint32_t polynomial, std::uint32_t initial);

    void update(const void* data, std::size_t length) override;
    void update(std::uint8_t byte) override {
        value_ = (value_ >> 8) ^ table_[(value_ ^ byte) & 0xFF];
    }

    std::uint32_t polynomial() const { return polynomial_; }
    const std::uint32_t* table() const { return table_; }

  protected:
    // Takes a table already computed for the polynomial: a checksum is made for every entry.
    ReflectedCRC(std::uint32_t polynomial, std::uint32_t initial, const std::uint32_t* table);

  private:
    std::uint32_t polynomial_;
    std::uint32_t table_[256];
};

// The block update works eight bytes at a time with precomputed tables; the results are those of
// the byte update applied to each byte in order.
class CRC32 : public ReflectedCRC {
  public:
    static constexpr std::uint32_t kPolynomial = 0xEDB88320u;

    explicit CRC32(std::uint32_t initial = 0xFFFFFFFFu)
        : ReflectedCRC(kPolynomial, initial, crc32Table()) {}

    void update(const void* data, std::size_t length) override;
    void update(std::uint8_t byte) override {
        value_ = (value_ >> 8) ^ crc32Table()[(value_ ^ byte) & 0xFF];
    }

    // Zip's CRC of a whole run of bytes: started at all ones, complemented at the end.
    static std::uint32_t of(const void* data, std::size_t length);
};

}  // namespace algorithm
