#include "tools/zipsfx/FileStamp.h"

#include <chrono>

#include "platform/LocalTime.h"

namespace fs = std::filesystem;

namespace tools {

std::int64_t modificationTime(const fs::path& path) {
    using namespace std::chrono;
    // The file clock's epoch is the library's own; measure it against the system clock.
    auto stamp = fs::last_write_time(path);
    auto offset =
        system_clock::now().time_since_epoch() -
        duration_cast<system_clock::duration>(fs::file_time_type::clock::now().time_since_epoch());
    auto since = duration_cast<system_clock::duration>(stamp.time_since_epoch()) + offset;
    return round<seconds>(since).count();
}

std::uint32_t toDosDateTime(std::int64_t secondsSinceEpoch) {
    constexpr std::uint32_t kFirst = (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
    constexpr std::uint32_t kLast =
        (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    // DOS keeps two-second steps; rounding up keeps an extracted file from looking older.
    std::tm local{};
    const bool known =
        platform::localCalendarTime(secondsSinceEpoch + (secondsSinceEpoch & 1), local);
    if (!known || local.tm_year + 1900 < 1980) {
        return kFirst;
    }
    if (local.tm_year + 1900 > 2107) {
        return kLast;
    }
    std::uint32_t date = static_cast<std::uint32_t>((local.tm_year - 80) << 9 |
                                                    (local.tm_mon + 1) << 5 | local.tm_mday);
    std::uint32_t time =
        static_cast<std::uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    return date << 16 | time;
}

}  // namespace tools
