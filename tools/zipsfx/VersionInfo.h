// The version information resource (VS_VERSIONINFO) that Explorer's Properties page shows: the
// fixed file and product version numbers and the shipper's strings (ProductName and the like),
// in US English with Unicode text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tools {

struct VersionInfo {
    std::array<std::uint16_t, 4> version{};  // file and product version, "1.2.3.4"
    bool versionGiven = false;
    std::vector<std::pair<std::string, std::string>> strings;  // key, UTF-8 value; in order
};

// The longest key and value accepted, in UTF-16 units; the whole resource must stay below 64 KiB.
constexpr std::size_t kMaxVersionKey = 64;
constexpr std::size_t kMaxVersionValue = 1024;

// "1", "1.2", "1.2.3" or "1.2.3.4", each part 0 to 65535. Throws generic::exception (kind
// "usage") otherwise.
std::array<std::uint16_t, 4> parseVersion(const std::string& text);

// Adds or replaces a KEY=VALUE string; throws generic::exception (kind "usage") for a key that is
// empty, not letters and digits, or too long, and for a value too long or not UTF-8.
void addVersionString(VersionInfo& info, const std::string& assignment);

// The resource's bytes. FileVersion and ProductVersion strings default to the version numbers.
// Throws generic::exception when the whole would exceed the format's 64 KiB.
std::vector<std::uint8_t> versionResource(const VersionInfo& info);

}  // namespace tools
