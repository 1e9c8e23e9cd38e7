#include "stream/ProgressOutput.h"

#include <algorithm>

namespace stream {

ProgressOutput::ProgressOutput(OutputStream& next, std::uint32_t step)
    : PassThroughOutput(next), step_(step) {}

void ProgressOutput::attach(ProgressObserver& observer) {
    observers_.push_back(&observer);
}

void ProgressOutput::detach(ProgressObserver& observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer),
                     observers_.end());
}

void ProgressOutput::advance(std::uint64_t length) {
    total_ += length;
    sinceNotification_ += length;
    if (sinceNotification_ >= step_) {
        sinceNotification_ = 0;
        // A copy, so that an observer may detach itself while being notified.
        std::vector<ProgressObserver*> observers = observers_;
        for (ProgressObserver* observer : observers) {
            observer->notify(total_, ALL);
        }
    }
}

}  // namespace stream
