// File times and MS-DOS dates as the operating system offers them. Ticks count 100-nanosecond
// intervals since 1601-01-01 UTC; seconds count from 1970-01-01 UTC.
//
// POSIX keeps no settable creation time: the getter answers the birth time where the file system
// records it, else the status-change time, and the setter is accepted and changes nothing. POSIX
// also lets the owner change times through a descriptor opened only for reading, where a Windows
// handle needs write access.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

namespace platform {

enum class TimeKind { Creation, Access, Modification };

// On a handle opened with OpenMode::QueryTimes or ChangeTimes (or any open file).
bool fileTime(FileHandle file, TimeKind kind, std::uint64_t& ticks);
bool setFileTime(FileHandle file, TimeKind kind, std::uint64_t ticks);

// The runtime library's status and times of a path (_stat and _utime on Windows). statTime
// leaves seconds at 0 when the path cannot be read.
bool statTime(const std::string& path, TimeKind kind, std::uint32_t& seconds);
bool setPathTimes(const std::string& path, std::uint32_t seconds);

// An MS-DOS date and time, read as local time, to local ticks. Refuses fields out of range:
// month 0 or above 12, day 0 or beyond the month's end, hour above 23, minute above 59, seconds
// field above 29. 29 February passes in every year and is 1 March in a common year.
bool dosDateTimeToTicks(std::uint16_t date, std::uint16_t time, std::uint64_t& local);
// Local ticks to UTC with the zone's current offset (not the offset in force at that date).
bool localTicksToUtc(std::uint64_t local, std::uint64_t& utc);

}  // namespace platform
