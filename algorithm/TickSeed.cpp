#include "algorithm/TickSeed.h"

#include "platform/Clock.h"

namespace algorithm {

TickSeed::TickSeed() : start_(platform::tickCount()) {}

std::uint32_t TickSeed::ticks() const {
    return platform::tickCount();
}

void TickSeed::restart() {
    start_ = platform::tickCount();
}

std::uint32_t TickSeed::elapsed() const {
    return platform::tickCount() - start_;
}

}  // namespace algorithm
