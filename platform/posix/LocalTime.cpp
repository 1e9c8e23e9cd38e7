#include "platform/LocalTime.h"

namespace platform {

bool localCalendarTime(std::int64_t secondsSinceEpoch, std::tm& local) {
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    // A 32-bit time_t (i386 Linux) ends in 2038: a later moment is unknown, not another date.
    if (static_cast<std::int64_t>(t) != secondsSinceEpoch) {
        return false;
    }
    return localtime_r(&t, &local) != nullptr;
}

}  // namespace platform
