// The command line of `zipsfx make`: its options and its help text.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/zipsfx/Branding.h"
#include "tools/zipsfx/StubImage.h"

namespace tools {

struct MakeOptions {
    std::string output;
    std::string stub = "windows";  // "windows", "posix" or a path
    StubSettings settings;         // RUN empty unless --run is given
    Branding branding;             // --icon, --title, --message, --license, --version..., --admin
    int level = 9;
    bool verbose = false;
    bool help = false;
    std::vector<std::string> inputs;
};

// Reads the arguments after the command word. Throws generic::exception (kind "usage") for
// unknown options, missing values and missing output or inputs (not with --help).
MakeOptions parseMakeOptions(const std::vector<std::string>& args);

void printMakeHelp(std::ostream& out);

}  // namespace tools
