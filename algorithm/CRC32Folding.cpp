#include "algorithm/CRC32Folding.h"

#if defined(ZIPSFX_CRC32_FOLDING)
#include <emmintrin.h>
#include <wmmintrin.h>

namespace algorithm {

namespace {

// x^k mod P for the reflected polynomial, bit-reflected and shifted as the folding needs: the
// low one of each pair moves the low 64 bits of a block forward, the high one the high 64 bits;
// the first pair moves a block 512 bits forward, the second 128 bits.
constexpr long long kFold512Low = 0x154442BD4LL;
constexpr long long kFold512High = 0x1C6E41596LL;
constexpr long long kFold128Low = 0x1751997D0LL;
constexpr long long kFold128High = 0x0CCAA009ELL;

__attribute__((target("pclmul,sse2"))) inline __m128i fold(__m128i block, __m128i constants,
                                                           __m128i next) {
    const __m128i low = _mm_clmulepi64_si128(block, constants, 0x00);
    const __m128i high = _mm_clmulepi64_si128(block, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("sse2"))) inline __m128i load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

bool canFoldCrc32() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
}

__attribute__((target("pclmul,sse2"))) void foldCrc32(std::uint32_t crc, const std::uint8_t* data,
                                                      std::size_t blocks, std::uint8_t folded[16]) {
    // Four blocks folded side by side, each 512 bits forward onto the next four: the
    // multiplications of one do not wait for another's.
    const __m128i by512 = _mm_set_epi64x(kFold512High, kFold512Low);
    const __m128i by128 = _mm_set_epi64x(kFold128High, kFold128Low);
    __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = load(data + 16);
    __m128i x2 = load(data + 32);
    __m128i x3 = load(data + 48);
    data += 64;
    blocks -= 4;
    for (; blocks >= 4; blocks -= 4, data += 64) {
        x0 = fold(x0, by512, load(data));
        x1 = fold(x1, by512, load(data + 16));
        x2 = fold(x2, by512, load(data + 32));
        x3 = fold(x3, by512, load(data + 48));
    }
    x1 = fold(x0, by128, x1);
    x2 = fold(x1, by128, x2);
    x3 = fold(x2, by128, x3);
    for (; blocks > 0; --blocks, data += 16) {
        x3 = fold(x3, by128, load(data));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), x3);
}

}  // namespace algorithm
#endif
