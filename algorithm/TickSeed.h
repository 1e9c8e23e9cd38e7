// A millisecond clock over the system tick count; its current count seeds the random bytes of an
// encryption header that is written.
// Kept as part of the archive library's API; no program of ours calls it yet.
#pragma once

#include <cstdint>

namespace algorithm {

class TickSeed {
  public:
    static constexpr std::uint32_t kTicksPerSecond = 1000;

    TickSeed();
    virtual ~TickSeed() = default;

    // The system tick count now (milliseconds, wrapping at 32 bits).
    virtual std::uint32_t ticks() const;
    // Starts counting elapsed ticks anew.
    virtual void restart();
    // Ticks since construction or the last restart, correct across one wrap of the count.
    virtual std::uint32_t elapsed() const;

    std::uint32_t rate() const { return kTicksPerSecond; }

  private:
    std::uint32_t start_;
};

}  // namespace algorithm
