// `zipsfx info FILE`: what a self-extracting file will do, told before it is shipped: its stub,
// the RUN program, the destination, the options, the signature and the archive's totals. Each
// fact is one labelled line; a new fact is one more line in describeFile.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/zipsfx/Console.h"

namespace tools {

struct InfoLine {
    std::string label;
    std::string value;
};

// The lines for one file. Throws generic::exception when it cannot be read or holds no archive.
std::vector<InfoLine> describeFile(const std::string& path);

// "label:" padded to one column, then the value.
void printInfo(std::ostream& out, const std::vector<InfoLine>& lines);

// argv[0] is the command word. Returns the process exit code.
int runInfo(int argc, char** argv, const Console& console);

}  // namespace tools
