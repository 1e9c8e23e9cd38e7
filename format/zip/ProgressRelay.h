// Passes the progress of one entry's output on to the archive's progress handlers as a position
// in the whole archive, and turns a handler's refusal into a cancel.
#pragma once

#include <cstdint>

#include "stream/ProgressOutput.h"

namespace vessel5 {
class Archive;
}

namespace format {
namespace zip {

class ProgressRelay : public stream::ProgressObserver {
  public:
    explicit ProgressRelay(vessel5::Archive& archive) : archive_(archive) {}

    // Bytes of the archive produced before this entry.
    void setStart(std::uint64_t start) { start_ = start; }
    std::uint64_t start() const { return start_; }

    // Throws brindle5::exception::Evacuation when a progress handler answers false.
    void notify(std::uint64_t total, std::uint64_t second) override;

  private:
    vessel5::Archive& archive_;
    std::uint64_t start_ = 0;
};

}  // namespace zip
}  // namespace format
