// The Windows backend's one seam between the program's UTF-8 text and the system's UTF-16:
// conversions, the long-path form of a file name and the system's words for an error code.
#pragma once

#include <string>

namespace platform {
namespace win32 {

// Invalid UTF-8 becomes U+FFFD; unpaired surrogates on the way back do the same.
std::wstring wide(const std::string& text);
std::string narrow(const wchar_t* text, std::size_t length);
std::string narrow(const std::wstring& text);

// The name to hand to a wide file function: an absolute path longer than the classic limit gets
// the \\?\ form (\\?\UNC\server\share for a network share), built from its full name with
// backslashes, since that form turns off the system's own "/", "." and ".." handling.
std::wstring fileName(const std::string& path);

// The system's text for an error code (GetLastError), without the trailing line break.
std::string errorText(unsigned long code);

}  // namespace win32
}  // namespace platform
