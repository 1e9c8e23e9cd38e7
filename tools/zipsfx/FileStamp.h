// A stored file's time: its modification time, and that time as an MS-DOS date and time.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tools {

// Seconds since the epoch (UTC) of the file's last modification.
std::int64_t modificationTime(const std::filesystem::path& path);

// The DOS date (high 16 bits) and time (low 16 bits) of a local time given in seconds since the
// epoch; odd seconds round up, and times outside 1980..2107 are clamped to that range.
std::uint32_t toDosDateTime(std::int64_t secondsSinceEpoch);

}  // namespace tools
