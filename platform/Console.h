// The host tool's command line and console in UTF-8. A Windows console takes characters
// (WriteConsoleW) and main's arguments come in the ANSI code page, so both go through the
// system's UTF-16 there; on POSIX the terminal takes the bytes and argv is used as it is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

enum class StandardStream { Output, Error };

// Whether the stream is a console that takes characters rather than bytes (never on POSIX; on
// Windows not when the stream goes to a pipe or a file).
bool isConsole(StandardStream stream);
// Writes UTF-8 text to such a console; false when it cannot.
bool writeConsole(StandardStream stream, const char* text, std::size_t length);

// The program's arguments (its own name first) in UTF-8.
std::vector<std::string> utf8Arguments(int argc, char** argv);

}  // namespace platform
