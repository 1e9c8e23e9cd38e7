#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "platform/FileTime.h"

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

// After the system headers: st_ctime and its kin may be macros naming fields.
#include "platform/StatTime.h"

namespace platform {

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

int fd(FileHandle file) {
    return static_cast<int>(file);
}

bool toTicks(std::int64_t seconds, long nanoseconds, std::uint64_t& ticks) {
    std::int64_t since1601 = seconds + kSecondsFrom1601To1970;
    if (since1601 < 0) {
        return false;
    }
    ticks = static_cast<std::uint64_t>(since1601) * kTicksPerSecond +
            static_cast<std::uint64_t>(nanoseconds) / 100;
    return true;
}

struct timespec toTimespec(std::uint64_t ticks) {
    struct timespec ts {};
    ts.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ticks / kTicksPerSecond) -
                                    kSecondsFrom1601To1970);
    ts.tv_nsec = static_cast<long>((ticks % kTicksPerSecond) * 100);
    return ts;
}

bool isLeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned daysInMonth(unsigned year, unsigned month) {
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the first day of the given year.
std::uint64_t daysBeforeYear(unsigned year) {
    unsigned y = year - 1601;
    return static_cast<std::uint64_t>(y) * 365 + y / 4 - y / 100 + y / 400;
}

}  // namespace

bool fileTime(FileHandle file, TimeKind kind, std::uint64_t& ticks) {
    struct stat st {};
    if (file < 0 || ::fstat(fd(file), &st) != 0) {
        return false;
    }
    switch (kind) {
        case TimeKind::Creation: {
#ifdef STATX_BTIME
            // Linux only: the birth time, where the file system records it.
            struct statx sx {};
            if (::statx(fd(file), "", AT_EMPTY_PATH, STATX_BTIME, &sx) == 0 &&
                (sx.stx_mask & STATX_BTIME) != 0) {
                return toTicks(sx.stx_btime.tv_sec, static_cast<long>(sx.stx_btime.tv_nsec), ticks);
            }
#endif
            return toTicks(st.st_ctim.tv_sec, st.st_ctim.tv_nsec, ticks);
        }
        case TimeKind::Access:
            return toTicks(st.st_atim.tv_sec, st.st_atim.tv_nsec, ticks);
        case TimeKind::Modification:
            return toTicks(st.st_mtim.tv_sec, st.st_mtim.tv_nsec, ticks);
    }
    return false;
}

bool setFileTime(FileHandle file, TimeKind kind, std::uint64_t ticks) {
    // futimens judges the handle itself; only the creation time, which is not set here, needs a
    // look to fail on a handle that is no file.
    struct stat st {};
    if (file < 0 || (kind == TimeKind::Creation && ::fstat(fd(file), &st) != 0)) {
        return false;
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = times[0];
    switch (kind) {
        case TimeKind::Creation:
            return true;  // no settable creation time here
        case TimeKind::Access:
            times[0] = toTimespec(ticks);
            break;
        case TimeKind::Modification:
            times[1] = toTimespec(ticks);
            break;
    }
    return ::futimens(fd(file), times) == 0;
}

bool statTime(const std::string& path, TimeKind kind, std::uint32_t& seconds) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        seconds = 0;
        return false;
    }
    seconds = statusSeconds(st, kind);
    return true;
}

// The Windows runtime opens the path as a file to change its times, so a folder fails.
bool setPathTimes(const std::string& path, std::uint32_t seconds) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    struct utimbuf times {};
    times.actime = static_cast<time_t>(seconds);
    times.modtime = static_cast<time_t>(seconds);
    return ::utime(path.c_str(), &times) == 0;
}

bool dosDateTimeToTicks(std::uint16_t date, std::uint16_t time, std::uint64_t& local) {
    unsigned day = date & 0x1F;
    unsigned month = (date >> 5) & 0x0F;
    unsigned year = 1980 + (date >> 9);
    unsigned seconds = (time & 0x1F) * 2;
    unsigned minute = (time >> 5) & 0x3F;
    unsigned hour = time >> 11;
    // The Windows call allows 29 February in every year and counts it as 1 March in common years.
    unsigned lastDay = month == 2 ? 29 : (month >= 1 && month <= 12 ? daysInMonth(year, month) : 0);
    if (month < 1 || month > 12 || day < 1 || day > lastDay || hour > 23 || minute > 59 ||
        seconds > 59) {
        return false;
    }
    std::uint64_t days = daysBeforeYear(year);
    for (unsigned m = 1; m < month; ++m) {
        days += daysInMonth(year, m);
    }
    days += day - 1;
    std::uint64_t total = ((days * 24 + hour) * 60 + minute) * 60 + seconds;
    local = total * kTicksPerSecond;
    return true;
}

// The offset in force now, as the Windows call uses the zone's current bias.
bool localTicksToUtc(std::uint64_t local, std::uint64_t& utc) {
    std::time_t now = std::time(nullptr);
    struct tm parts {};
    if (::localtime_r(&now, &parts) == nullptr) {
        return false;
    }
    std::int64_t offset =
        static_cast<std::int64_t>(parts.tm_gmtoff) * static_cast<std::int64_t>(kTicksPerSecond);
    if (offset > 0 && local < static_cast<std::uint64_t>(offset)) {
        return false;
    }
    utc = local - static_cast<std::uint64_t>(offset);
    return true;
}

}  // namespace platform
