#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

using app::StubArguments;

// What a line reads as, in one comparable text: the flags, the folder and the passed arguments,
// or "interactive" for the run without options.
std::string reading(const StubArguments& a) {
    if (!a.quiet && !a.test && !a.help && !a.destination && !a.password && a.runArguments.empty()) {
        return "interactive";
    }
    std::string text;
    text += a.quiet ? "q" : "";
    text += a.test ? "t" : "";
    text += a.help ? "h" : "";
    if (a.destination) {
        text += " d[" + *a.destination + "]";
    }
    for (const std::string& word : a.runArguments) {
        text += " [" + word + "]";
    }
    return text;
}

std::string readLine(const std::string& line) {
    return reading(app::parseStubArguments(app::commandWords(line)));
}

std::string readWords(const std::vector<std::string>& words) {
    std::vector<app::CommandWord> given;
    for (const std::string& word : words) {
        given.push_back(app::CommandWord{word, word});
    }
    return reading(app::parseStubArguments(given));
}

// Windows command lines, as the system hands them over after the program's name.
TEST(StubCommandLine, WindowsLines) {
    const struct {
        const char* line;
        const char* read;
    } cases[] = {
        // What was interactive stays interactive: case, blanks around, anything unknown.
        {"", "interactive"},
        {"-Q", "interactive"},
        {" -q", "interactive"},
        {"-q ", "interactive"},
        {"-q x", "interactive"},
        {"\"-q\"", "interactive"},  // an option word is written as it is, never quoted
        {"-d", "interactive"},      // a folder is missing
        {"-d \"\"", "interactive"},
        {"-d=", "interactive"},
        {"-D x", "interactive"},
        {"-q -x", "interactive"},
        {"--wait", "interactive"},
        // The options, alone and together.
        {"-q", "q"},
        {"-t", "t"},
        {"-q -t", "qt"},
        {"-h", "h"},
        {"--help", "h"},
        {"/?", "h"},
        {"-d C:\\Apps", " d[C:\\Apps]"},
        {"-q -d \"C:\\Program Files\\Łukasz App\"", "q d[C:\\Program Files\\Łukasz App]"},
        {"-d=\"D:\\with blank\" -q", "q d[D:\\with blank]"},
        {"-d=D:\\x\\", " d[D:\\x\\]"},
        {"-d \"C:\\ends with\\\\\"", " d[C:\\ends with\\]"},
        {"-q\t-d\tC:\\x", "q d[C:\\x]"},
        // After "--" every word is RUN's, options included, quotes removed as Windows programs do.
        {"-q -- extra", "q [extra]"},
        {"-q -- \"two words\" -q \"say \\\"hi\\\"\"", "q [two words] [-q] [say \"hi\"]"},
        {"-- -d", " [-d]"},
        {"-q --", "q"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readLine(c.line), c.read) << "[" << c.line << "]";
    }
}

// POSIX arguments arrive as words: each is taken as it is, blanks and quotes included.
TEST(StubCommandLine, PosixWords) {
    const struct {
        std::vector<std::string> words;
        const char* read;
    } cases[] = {
        {{}, "interactive"},
        {{"-q"}, "q"},
        {{" -q"}, "interactive"},
        {{"-q x"}, "interactive"},
        {{"-q", "x"}, "interactive"},
        {{"\"-q\""}, "interactive"},
        {{"-q", "-d", "/tmp/a b/Привет"}, "q d[/tmp/a b/Привет]"},
        {{"-d=/x \"y\""}, " d[/x \"y\"]"},
        {{"-t", "-q"}, "qt"},
        {{"-q", "--", "a b", "", "$(rm -rf x)"}, "q [a b] [] [$(rm -rf x)]"},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& w : c.words) {
            shown += "[" + w + "]";
        }
        EXPECT_EQ(readWords(c.words), c.read) << shown;
    }
}

TEST(StubCommandLine, UsageNamesEveryOptionAndExitCode) {
    const std::string usage = app::stubUsage();
    for (const char* word : {"-q", "-d DIR", "-t", "-h", "--help", "--", "0  done", "1  declined",
                             "2  an error", "3  another failure", "own", "/?"}) {
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    }
}

}  // namespace
