#include "algorithm/CRC32.h"

#include <cstring>

#include "algorithm/CRC32Folding.h"

namespace algorithm {

namespace {

constexpr std::uint32_t reflectedEntry(std::uint32_t polynomial, std::uint32_t byte) {
    std::uint32_t b = 0;
    for (int bit = 0; bit < 8; ++bit) {
        bool feed = ((byte >> bit) ^ b) & 1u;
        b = (b >> 1) ^ (feed ? polynomial : 0u);
    }
    return b;
}

// tables[0] is the byte table; tables[k][i] is the CRC register after byte i followed by k zero
// bytes, which lets eight input bytes be folded in with eight independent lookups.
struct SlicingTables {
    std::uint32_t t[8][256];
};

static_assert(reflectedEntry(CRC32::kPolynomial, 1) == 0x77073096u, "CRC-32 table entry 1");
static_assert(reflectedEntry(CRC32::kPolynomial, 255) == 0x2D02EF8Du, "CRC-32 table entry 255");

// Computed when the program starts rather than at compile time: 8 KB of constants would be copied
// into every self-extracting file, and the computation takes microseconds. A namespace-scope
// object needs no guard against two threads' first use, which a function's static would bring.
SlicingTables makeSlicingTables() {
    SlicingTables s;
    for (std::uint32_t i = 0; i < 256; ++i) {
        s.t[0][i] = reflectedEntry(CRC32::kPolynomial, i);
    }
    for (int k = 1; k < 8; ++k) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t previous = s.t[k - 1][i];
            s.t[k][i] = (previous >> 8) ^ s.t[0][previous & 0xFF];
        }
    }
    return s;
}

const SlicingTables tables = makeSlicingTables();

#if defined(ZIPSFX_CRC32_FOLDING)
// Asked once, when the program starts.
const bool folding = canFoldCrc32();
#endif

const SlicingTables& slicingTables() {
    return tables;
}

}  // namespace

const std::uint32_t* crc32Table() {
    return slicingTables().t[0];
}

ReflectedCRC::ReflectedCRC(std::uint32_t polynomial, std::uint32_t initial)
    : Checksum(initial), polynomial_(polynomial) {
    for (std::uint32_t i = 0; i < 256; ++i) {
        table_[i] = reflectedEntry(polynomial, i);
    }
}

ReflectedCRC::ReflectedCRC(std::uint32_t polynomial, std::uint32_t initial,
                           const std::uint32_t* table)
    : Checksum(initial), polynomial_(polynomial) {
    std::memcpy(table_, table, sizeof table_);
}

void ReflectedCRC::update(const void* data, std::size_t length) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::uint32_t crc = value_;
    for (std::size_t i = 0; i < length; ++i) {
        crc = (crc >> 8) ^ table_[(crc ^ p[i]) & 0xFF];
    }
    value_ = crc;
}

namespace {

// The CRC register after length bytes at p, started at crc: eight bytes at a time through the
// slicing tables, then one at a time.
std::uint32_t sliced(std::uint32_t crc, const std::uint8_t* p, std::size_t length) {
    const auto& t = slicingTables().t;
    while (length >= 8) {
        // Bytes are assembled explicitly, so the result does not depend on the host's byte order.
        std::uint32_t one = crc ^ (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                   std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
        std::uint32_t two = std::uint32_t(p[4]) | std::uint32_t(p[5]) << 8 |
                            std::uint32_t(p[6]) << 16 | std::uint32_t(p[7]) << 24;
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^
              t[4][one >> 24] ^ t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^
              t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
        p += 8;
        length -= 8;
    }
    while (length-- > 0) {
        crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
    }
    return crc;
}

}  // namespace

void CRC32::update(const void* data, std::size_t length) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::uint32_t crc = value_;
#if defined(ZIPSFX_CRC32_FOLDING)
    if (folding && length >= 64) {
        // The folded 16 bytes stand for everything so far, from a zero register.
        std::uint8_t folded[16];
        const std::size_t blocks = length / 16;
        foldCrc32(crc, p, blocks, folded);
        p += blocks * 16;
        length -= blocks * 16;
        crc = sliced(0, folded, 16);
    }
#endif
    value_ = sliced(crc, p, length);
}

std::uint32_t CRC32::of(const void* data, std::size_t length) {
    CRC32 crc;
    crc.update(data, length);
    return ~crc.value();
}

}  // namespace algorithm
