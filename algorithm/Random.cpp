#include "algorithm/Random.h"

namespace algorithm {

void Random::setSeed(std::uint64_t seed) {
    state_ = (seed ^ kMultiplier) & kMask;
}

std::uint32_t Random::next(unsigned bits) {
    state_ = (state_ * kMultiplier + kIncrement) & kMask;
    return static_cast<std::uint32_t>(state_ >> (48 - bits));
}

void Random::nextBytes(std::uint8_t* buffer, std::size_t length) {
    std::uint32_t r = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (i % 4 == 0) {
            r = nextInt();
        } else {
            r >>= 8;
        }
        buffer[i] = static_cast<std::uint8_t>(r);
    }
}

}  // namespace algorithm
