// `zipsfx make`: builds a self-extracting file from a stub and files or an existing Zip.
#pragma once

namespace tools {

// Runs `zipsfx make` with the arguments that follow the command word (argv[0] is "make").
// Returns the process exit code; prints its own messages.
int runMake(int argc, char** argv);

}  // namespace tools
