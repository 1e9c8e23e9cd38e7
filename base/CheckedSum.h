// Sums of sizes and offsets read from an archive. Any of them may be chosen by an attacker, so a
// sum either reports that it does not fit in 64 bits or stops at the largest value: it never
// wraps round to a small number that would pass a check.
#pragma once

#include <cstdint>
#include <limits>

namespace base {

// a + b in sum; false (sum untouched) when it does not fit in 64 bits.
inline bool addChecked(std::uint64_t a, std::uint64_t b, std::uint64_t& sum) {
    if (b > std::numeric_limits<std::uint64_t>::max() - a) {
        return false;
    }
    sum = a + b;
    return true;
}

// a + b, or the largest 64-bit value when the sum does not fit: a total that can only grow.
inline std::uint64_t addSaturated(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    return addChecked(a, b, sum) ? sum : std::numeric_limits<std::uint64_t>::max();
}

}  // namespace base
