#include "platform/FileTime.h"

#include <sys/types.h>
#include <sys/stat.h>
#include <sys/utime.h>
#include <wchar.h>
#include <windows.h>

// After the system headers: st_ctime and its kin may be macros naming fields.
#include "platform/StatTime.h"
#include "platform/win32/Wide.h"

namespace platform {

namespace {

HANDLE native(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

FILETIME toFileTime(std::uint64_t ticks) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

std::uint64_t toTicks(const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace

bool fileTime(FileHandle file, TimeKind kind, std::uint64_t& ticks) {
    FILETIME ft{};
    BOOL ok = FALSE;
    switch (kind) {
        case TimeKind::Creation:
            ok = GetFileTime(native(file), &ft, nullptr, nullptr);
            break;
        case TimeKind::Access:
            ok = GetFileTime(native(file), nullptr, &ft, nullptr);
            break;
        case TimeKind::Modification:
            ok = GetFileTime(native(file), nullptr, nullptr, &ft);
            break;
    }
    if (ok == FALSE) {
        return false;
    }
    ticks = toTicks(ft);
    return true;
}

bool setFileTime(FileHandle file, TimeKind kind, std::uint64_t ticks) {
    FILETIME ft = toFileTime(ticks);
    BOOL ok = FALSE;
    switch (kind) {
        case TimeKind::Creation:
            ok = SetFileTime(native(file), &ft, nullptr, nullptr);
            break;
        case TimeKind::Access:
            ok = SetFileTime(native(file), nullptr, &ft, nullptr);
            break;
        case TimeKind::Modification:
            ok = SetFileTime(native(file), nullptr, nullptr, &ft);
            break;
    }
    return ok != FALSE;
}

bool statTime(const std::string& path, TimeKind kind, std::uint32_t& seconds) {
    struct _stat st {};
    if (_wstat(win32::fileName(path).c_str(), &st) != 0) {
        seconds = 0;
        return false;
    }
    seconds = statusSeconds(st, kind);
    return true;
}

bool setPathTimes(const std::string& path, std::uint32_t seconds) {
    struct _utimbuf times {};
    times.actime = static_cast<time_t>(seconds);
    times.modtime = static_cast<time_t>(seconds);
    return _wutime(win32::fileName(path).c_str(), &times) == 0;
}

bool dosDateTimeToTicks(std::uint16_t date, std::uint16_t time, std::uint64_t& local) {
    FILETIME ft{};
    if (DosDateTimeToFileTime(date, time, &ft) == FALSE) {
        return false;
    }
    local = toTicks(ft);
    return true;
}

bool localTicksToUtc(std::uint64_t local, std::uint64_t& utc) {
    FILETIME in = toFileTime(local);
    FILETIME out{};
    if (LocalFileTimeToFileTime(&in, &out) == FALSE) {
        return false;
    }
    utc = toTicks(out);
    return true;
}

}  // namespace platform
