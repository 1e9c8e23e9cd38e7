// Facts about the platform that the portable code must respect: the path separator and the
// longest path. Windows keeps the values the program was designed with; POSIX uses its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr char kOtherSeparator = '/';
constexpr std::size_t kMaxPath = 260;  // MAX_PATH, terminating zero included
#else
constexpr char kSeparator = '/';
constexpr char kOtherSeparator = '\\';
constexpr std::size_t kMaxPath = 4096;  // PATH_MAX, terminating zero included
#endif

// The longest path text that fits the platform's buffers (terminating zero excluded).
constexpr std::size_t kMaxPathLength = kMaxPath - 1;

}  // namespace platform
