#include "app/CommandLine.h"

#include "base/CommandLine.h"

namespace app {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

CommandWord word(const std::string& raw) {
    const std::vector<std::string> split = base::splitArguments(raw);
    return CommandWord{raw, split.empty() ? std::string() : split.front()};
}

}  // namespace

std::vector<CommandWord> commandWords(const std::string& line) {
    std::vector<CommandWord> words;
    if (line.empty() || isBlank(line.front()) || isBlank(line.back())) {
        return words;
    }
    // The same state as base::splitArguments, kept only to find where each word ends.
    bool quoted = false;
    std::size_t backslashes = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const char c = i < line.size() ? line[i] : ' ';
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"' && backslashes % 2 == 0) {
            quoted = !quoted;
        }
        backslashes = 0;
        if (isBlank(c) && (!quoted || i == line.size())) {
            if (i > start) {
                words.push_back(word(line.substr(start, i - start)));
            }
            start = i + 1;
        }
    }
    return words;
}

StubArguments parseStubArguments(const std::vector<CommandWord>& words) {
    StubArguments arguments;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& raw = words[i].raw;
        if (raw == "--") {
            for (++i; i < words.size(); ++i) {
                arguments.runArguments.push_back(words[i].text);
            }
        } else if (raw == "-q") {
            arguments.quiet = true;
        } else if (raw == "-t") {
            arguments.test = true;
        } else if (raw == "-h" || raw == "--help" || raw == "/?") {
            arguments.help = true;
        } else if (raw == "-d" && i + 1 < words.size() && !words[i + 1].text.empty()) {
            arguments.destination = words[++i].text;
        } else if (raw == "-p" && i + 1 < words.size()) {
            // Any word is a password, an empty one too.
            arguments.password = words[++i].text;
        } else if (raw.compare(0, 3, "-d=") == 0 && words[i].text.size() > 3) {
            arguments.destination = words[i].text.substr(3);
        } else {
            return StubArguments();  // anything else: the interactive run, as always
        }
    }
    return arguments;
}

std::string stubUsage() {
    return "Options (any other command line asks as usual):\n"
           "  -q            extract without questions or progress window\n"
           "  -d DIR        extract into DIR (also -d=DIR): with -q at once,\n"
           "                without it DIR is the folder offered\n"
           "  -t            test every entry, write nothing\n"
           "  -p PASSWORD   the password of encrypted entries\n"
           "  -h, --help, /?  this text\n"
           "  -- ARGS       pass ARGS on to the program started after extracting\n"
           "\n"
           "Exit codes:\n"
           "  0  done\n"
           "  1  declined or cancelled\n"
           "  2  an error (shown, even with -q); with -t: damaged entries\n"
           "  3  another failure (also: the program to start was refused)\n"
           "  N  a file that waits for its program ends with that program's own\n"
           "     code (its 1 to 3 cannot be told from the codes above)\n";
}

}  // namespace app
