// The command line of `zipsfx make`: its options and its help text.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/zipsfx/Compressor.h"
#include "tools/zipsfx/Branding.h"
#include "tools/zipsfx/StubImage.h"

namespace tools {

struct MakeOptions {
    std::string output;
    std::string stub = "windows";  // "windows", "posix" or a path
    StubSettings settings;         // RUN empty unless --run is given
    Method method = Method::Deflate;
    Branding branding;             // --icon, --title, --message, --license, --version..., --admin
    int level = 9;
    // --password (asked on the terminal), --password-file FILE, --encryption.
    bool askPassword = false;
    std::string passwordFile;
    std::string encryption;  // "aes256" (the default with a password) or "zipcrypto"
    bool verbose = false;
    bool quiet = false;  // no progress line
    bool help = false;
    std::vector<std::string> inputs;
};

// Reads the arguments after the command word. Throws generic::exception (kind "usage") for
// unknown options, missing values and missing output or inputs (not with --help), and for a
// method this build cannot write.
MakeOptions parseMakeOptions(const std::vector<std::string>& args);

void printMakeHelp(std::ostream& out);

}  // namespace tools
