// `zipsfx layout`: a command left out of the usage text, for the test scripts, which ask the tool
// for the self-extracting file's layout instead of reading it from the sources.
//   zipsfx layout mark|search-limit|search-step|block-size   prints the value (the mark in hex)
//   zipsfx layout set-run FILE TEXT                          rewrites a stub's RUN block in place
#pragma once

#include "tools/zipsfx/Console.h"

namespace tools {

// argv[0] is the command word. Returns the process exit code.
int runLayout(int argc, char** argv, const Console& console);

}  // namespace tools
