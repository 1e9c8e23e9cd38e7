// A 48-bit linear congruential generator: cheap, repeatable filler for the random bytes of an
// encryption header that is written. It is not meant to be unpredictable.
// Kept as part of the archive library's API; no program of ours calls it yet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace algorithm {

class Random {
  public:
    static constexpr std::uint64_t kMultiplier = 0x5DEECE66Du;
    static constexpr std::uint64_t kIncrement = 11;
    static constexpr std::uint64_t kMask = (std::uint64_t(1) << 48) - 1;

    // The state is the seed as given, not scrambled as setSeed() does.
    explicit Random(std::uint64_t seed) : state_(seed) {}
    virtual ~Random() = default;

    virtual void setSeed(std::uint64_t seed);
    // The top bits (1 to 32) of the next state.
    virtual std::uint32_t next(unsigned bits);
    virtual std::uint32_t nextInt() { return next(32); }
    // One draw per four bytes, used from its low byte upwards.
    virtual void nextBytes(std::uint8_t* buffer, std::size_t length);

    std::uint64_t state() const { return state_; }

  private:
    std::uint64_t state_;
};

}  // namespace algorithm
