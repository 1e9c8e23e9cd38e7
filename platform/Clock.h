// The system's millisecond tick count.
// Kept as part of the archive library's API; no program of ours calls it yet.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary fixed point (system start on Windows), wrapping at 32 bits.
std::uint32_t tickCount();

}  // namespace platform
