#include "format/zip/ProgressRelay.h"

#include "archive/Archive.h"
#include "base/Exception.h"

namespace format {
namespace zip {

void ProgressRelay::notify(std::uint64_t total, std::uint64_t) {
    // The handlers take 32-bit positions; the sum wraps like them.
    const auto position = static_cast<std::uint32_t>(start_ + total);
    if (!archive_.dispatch(vessel5::kProgress, position)) {
        throw brindle5::exception::Evacuation();
    }
}

}  // namespace zip
}  // namespace format
