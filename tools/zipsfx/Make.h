// `zipsfx make`: builds a self-extracting file from a stub and files or an existing Zip.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/zipsfx/StubImage.h"

namespace tools {

struct MakeOptions {
    std::string output;
    std::string stub = "windows";  // "windows", "posix" or a path
    StubSettings settings;         // RUN empty unless --run is given
    int level = 9;
    bool verbose = false;
    bool help = false;
    std::vector<std::string> inputs;
};

// The mark must begin below this offset, at a multiple of kMarkAlignment, for the stub to find it.
constexpr std::uint64_t kMarkLimit = 524288;
constexpr std::uint64_t kMarkAlignment = 512;

// Reads the arguments after the command word. Throws generic::exception (kind "usage") for
// unknown options, missing values and missing output or inputs (not with --help).
MakeOptions parseMakeOptions(const std::vector<std::string>& args);

// The program that a RUN command line starts, as the stub splits it: the text up to the first
// blank, or between double quotes when the line begins with one.
std::string runProgram(const std::string& run);

// Builds the self-extracting file as the options say. Messages and warnings go to log, the
// verbose listing to out. Throws generic::exception on failure; no output file is left then.
void makeArchive(const MakeOptions& options, std::ostream& out, std::ostream& log);

void printMakeHelp(std::ostream& out);

// Runs `zipsfx make` with the arguments that follow the command word (argv[0] is "make").
// Returns the process exit code; prints its own messages.
int runMake(int argc, char** argv);

}  // namespace tools
