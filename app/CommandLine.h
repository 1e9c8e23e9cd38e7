// The stub's command line. "-q" alone is the quiet run it always was; a line made only of the
// options below is read as them; any other line is the interactive run, as before, with no
// option applied. One more option is one more case in parseStubArguments.
//   -q            no questions, no progress window
//   -d DIR, -d=DIR  extract into DIR (with -q silently; without, DIR is the folder offered)
//   -t            test: decode every entry and check its CRC, write nothing
//   -p PASSWORD   the password of encrypted entries (not asked for then), with any other option
//   -h, --help, /?  the usage text
//   -- ARGS...    passed on to the RUN program after its own arguments
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

// One word of a command line: as written (quotes included), and as the program reads it.
struct CommandWord {
    std::string raw;
    std::string text;
};

// The words of a Windows command line, split by the rule of base/CommandLine.h. A line that
// begins or ends with a blank was never an option line: it gives no words, and so the
// interactive run.
std::vector<CommandWord> commandWords(const std::string& line);

struct StubArguments {
    bool quiet = false;
    bool test = false;
    bool help = false;
    std::optional<std::string> destination;
    // Given with -p: the run asks for no password then. The run overwrites it once it is taken.
    std::optional<std::string> password;
    std::vector<std::string> runArguments;
};

// The options of a line made only of options, or the empty (interactive) set for anything else.
// Option words must be written exactly (unquoted, in lower case); values may be quoted.
StubArguments parseStubArguments(const std::vector<CommandWord>& words);

// The usage text: the options and the exit codes.
std::string stubUsage();

}  // namespace app
