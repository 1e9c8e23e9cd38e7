// The 32-byte mark that separates the program from the appended archive.
//
// The program must never hold the mark's bytes where the search could find them, or the search
// would stop inside the program itself. So the bytes are stored inverted and restored into memory
// only when needed, behind a barrier that keeps the compiler from folding them back into a
// constant: the executable file holds no copy of the mark at any offset.
#pragma once

#include <array>
#include <cstdint>

namespace app {

constexpr std::size_t kMarkSize = 32;
using Mark = std::array<std::uint8_t, kMarkSize>;

inline Mark mark() {
    static const std::uint8_t inverted[kMarkSize] = {
        0x65, 0x3e, 0x76, 0x18, 0xcc, 0xf1, 0xd9, 0x39, 0xe9, 0x8f, 0x27,
        0xb3, 0x4e, 0xab, 0x0a, 0xef, 0x81, 0x04, 0xdb, 0x25, 0x42, 0xb3,
        0xee, 0x7f, 0xf5, 0x45, 0x55, 0x0d, 0xaf, 0x3b, 0xd7, 0x28};
    const std::uint8_t* source = inverted;
#if defined(__GNUC__)
    asm volatile("" : "+r"(source));
#endif
    Mark m{};
    for (std::size_t i = 0; i < kMarkSize; ++i) {
        m[i] = static_cast<std::uint8_t>(~source[i]);
    }
    return m;
}

}  // namespace app
