// The calendar fields of a moment in the local time zone, through the runtime library's
// thread-safe call.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

// Fills `local` for `secondsSinceEpoch` (UTC); false when the runtime cannot tell.
bool localCalendarTime(std::int64_t secondsSinceEpoch, std::tm& local);

}  // namespace platform
