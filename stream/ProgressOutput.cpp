#include "stream/ProgressOutput.h"

#include <algorithm>
#include <cstring>

namespace stream {

ProgressOutput::ProgressOutput(OutputStream& next, std::uint32_t step)
    : OutputFilter(next), step_(step) {}

void ProgressOutput::attach(ProgressObserver& observer) {
    observers_.push_back(&observer);
}

void ProgressOutput::detach(ProgressObserver& observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer),
                     observers_.end());
}

void ProgressOutput::put(std::uint8_t byte) {
    next().put(byte);
    advance(1);
}

void ProgressOutput::write(const void* buffer, std::uint32_t length) {
    if (buffer == nullptr) {
        return;
    }
    next().write(buffer, length);
    advance(length);
}

void ProgressOutput::fill(std::uint64_t count, std::uint8_t byte) {
    std::uint8_t block[4096];
    std::memset(block, byte, sizeof block);
    while (count > 0) {
        std::uint32_t n = count < sizeof block ? static_cast<std::uint32_t>(count) : sizeof block;
        write(block, n);
        count -= n;
    }
}

std::uint64_t ProgressOutput::copyFrom(InputStream& input, std::uint64_t count) {
    return CopyTarget::copyFrom(input, count);
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
