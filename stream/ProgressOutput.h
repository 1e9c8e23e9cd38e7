// Counts the bytes that pass through it to another output and tells its observers the running
// total every time another step's worth has passed, so that a long extraction can move a progress
// bar (and be cancelled) in the middle of one file.
#pragma once

#include <cstdint>
#include <vector>

#include "stream/PassThroughOutput.h"

namespace stream {

// Told the total number of bytes written so far; second is a spare value, ALL (unknown) from
// ProgressOutput. An observer stops the writing by throwing.
class ProgressObserver {
  public:
    virtual ~ProgressObserver() = default;
    virtual void notify(std::uint64_t total, std::uint64_t second) = 0;
};

class ProgressOutput : public PassThroughOutput {
  public:
    // step is the number of bytes between notifications.
    ProgressOutput(OutputStream& next, std::uint32_t step);

    // Observers are not owned; each is notified in the order of attachment.
    void attach(ProgressObserver& observer);
    void detach(ProgressObserver& observer);

    std::uint64_t total() const { return total_; }

  protected:
    void passedByte(std::uint8_t) override { advance(1); }
    void passedBlock(const void*, std::uint32_t length) override { advance(length); }

  private:
    void advance(std::uint64_t length);

    std::uint32_t step_;
    // Held in 64 bits so that a block larger than the remaining step cannot wrap it.
    std::uint64_t sinceNotification_ = 0;
    std::uint64_t total_ = 0;
    std::vector<ProgressObserver*> observers_;
};

}  // namespace stream
