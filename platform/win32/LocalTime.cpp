#include "platform/LocalTime.h"

namespace platform {

bool localCalendarTime(std::int64_t secondsSinceEpoch, std::tm& local) {
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    return localtime_s(&local, &t) == 0;
}

}  // namespace platform
