// Conversions between the program's two time units: seconds since 1970 UTC (32-bit) and ticks,
// 100-nanosecond intervals since 1601 UTC (64-bit).
#pragma once

#include <cstdint>

namespace io {

constexpr std::uint64_t kTicksAt1970 = 116444736000000000ULL;
constexpr std::uint64_t kTicksPerSecond = 10000000ULL;

// Unsigned arithmetic throughout: ticks before 1970 wrap, as the stored format does.
constexpr std::uint32_t secondsFromTicks(std::uint64_t ticks) {
    return static_cast<std::uint32_t>((ticks - kTicksAt1970) / kTicksPerSecond);
}

constexpr std::uint64_t ticksFromSeconds(std::uint32_t seconds) {
    return (static_cast<std::uint64_t>(seconds) + 11644473600ULL) * kTicksPerSecond;
}

}  // namespace io
