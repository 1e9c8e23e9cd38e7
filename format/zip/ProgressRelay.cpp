#include "format/zip/ProgressRelay.h"

#include "archive/Archive.h"
#include "base/Exception.h"

namespace format {
namespace zip {

void ProgressRelay::notify(std::uint64_t total, std::uint64_t) {
    if (!archive_.dispatch(vessel5::kProgress, start_ + total)) {
        throw brindle5::exception::Evacuation();
    }
}

}  // namespace zip
}  // namespace format
