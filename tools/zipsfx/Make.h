// `zipsfx make`: builds a self-extracting file from a stub and files or an existing Zip.
#pragma once

#include <iosfwd>

#include "tools/zipsfx/Console.h"
#include "tools/zipsfx/MakeOptions.h"

namespace tools {

class ProgressLine;

// Builds the self-extracting file as the options say. Messages and warnings go to log, the
// verbose listing to out, the progress to line when given. Throws generic::exception on failure;
// no output file is left then.
void makeArchive(const MakeOptions& options, std::ostream& out, std::ostream& log,
                 ProgressLine* line = nullptr);

// Runs `zipsfx make` with the arguments that follow the command word (argv[0] is "make").
// Returns the process exit code; prints its own messages, and a progress line where the
// console allows one.
int runMake(int argc, char** argv, const Console& console);

}  // namespace tools
