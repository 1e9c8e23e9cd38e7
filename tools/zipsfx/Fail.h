// How the tool's steps stop: with a generic::exception whose kind names the step ("make" for
// making an archive, "stub" for a stub's settings, "usage" for the command line).
#pragma once

#include <string>

namespace tools {

[[noreturn]] void fail(const std::string& message, const char* kind = "make");

}  // namespace tools
