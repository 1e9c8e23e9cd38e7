#include "io/FatTime.h"

#include "base/Exception.h"
#include "platform/FileTime.h"

namespace io {

FatTime::FatTime(std::uint16_t date, std::uint16_t time) {
    if (!platform::dosDateTimeToTicks(date, time, local_)) {
        throw generic::exception("failed to convert FAT time to local time", "FAT time");
    }
    if (!platform::localTicksToUtc(local_, utc_)) {
        throw generic::exception("failed to convert local time to UTC time", "FAT time");
    }
}

}  // namespace io
