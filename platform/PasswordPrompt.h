// Asks the person at the terminal (the console on Windows) for a password without showing what
// is typed: the host tool's prompt (the POSIX stub asks through its terminal front end).
#pragma once

#include <string>

namespace platform {

// Shows prompt, reads one line with the echo off and gives it without its end, in UTF-8. False
// when there is no terminal to ask or its input ended.
bool askHidden(const std::string& prompt, std::string& answer);

}  // namespace platform
