// Facts about the platform that the portable code must respect: the path separator and the
// longest path.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr char kOtherSeparator = '/';
// Long paths reach the system in the \\?\ form, which takes 32,767 UTF-16 characters. The limit
// counts the UTF-8 bytes of a path (never fewer than its UTF-16 characters) and leaves room for
// the longest prefix, \\?\UNC\ in place of the leading \\ of a network share.
constexpr std::size_t kMaxPath = 32767 - 6 + 1;  // terminating zero included
constexpr bool kUnixFileModes = false;           // files carry DOS attributes only
// The characters besides ':' that Windows refuses in a file name.
constexpr const char* kForbiddenNameCharacters = "<>\"|?*";
// 0: the platform layer copes with long names itself; nothing is refused up front.
constexpr std::size_t kMaxNameBytes = 0;
// A path component holds at most kMaxNameLength UTF-16 characters.
constexpr bool kNameLengthInBytes = false;
#else
constexpr char kSeparator = '/';
constexpr char kOtherSeparator = '\\';
constexpr std::size_t kMaxPath = 4096;  // PATH_MAX, terminating zero included
constexpr bool kUnixFileModes = true;   // files carry Unix mode bits
constexpr const char* kForbiddenNameCharacters = "";
// NAME_MAX: the longest path component, in bytes. Longer names, and paths longer than
// kMaxPathLength, are refused before an extraction writes anything.
constexpr std::size_t kMaxNameBytes = 255;
// A path component holds at most kMaxNameLength bytes.
constexpr bool kNameLengthInBytes = true;
#endif

// The longest path component the file systems take: 255 bytes on POSIX (NAME_MAX), 255 UTF-16
// characters on Windows. Names this program makes up (numbered free names) keep within it.
constexpr std::size_t kMaxNameLength = 255;

// The longest path text that fits the platform's buffers (terminating zero excluded).
constexpr std::size_t kMaxPathLength = kMaxPath - 1;

}  // namespace platform
