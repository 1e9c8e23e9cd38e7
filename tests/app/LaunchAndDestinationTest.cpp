#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FakeEnvironment.h"
#include "app/Destination.h"
#include "app/ExtractionRun.h"
#include "app/Launch.h"
#include "base/CommandLine.h"
#include "tests/support/TestSupport.h"
#include "platform/Platform.h"

namespace {

using app::Environment;
using apptest::FakeEnvironment;
using apptest::quoted;

const std::string kSep(1, platform::kSeparator);

TEST(QuietCommandLine, OnlyTheExactTextIsQuiet) {
    const struct {
        const char* line;
        bool quiet;
    } cases[] = {
        {"-q", true}, {"-Q", false}, {" -q", false}, {"-q ", false}, {"-q x", false},
        {"", false},  {"q", false},  {"/q", false},  {"--q", false}, {"\"-q\"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::isQuietCommandLine(c.line), c.quiet) << "[" << c.line << "]";
    }
}

std::string block(const std::string& content) {
    std::string bytes = content;
    bytes.resize(261, '\0');
    return bytes;
}

TEST(DefaultDestination, SelectorByteChoosesTheFolder) {
    const std::string cur = kSep + "work" + kSep + "current";
    const std::string win = kSep + "win";
    const std::string sys = kSep + "win" + kSep + "system";
    const std::string tmp = kSep + "tmp" + kSep + "x";
    const struct {
        const char* what;
        std::optional<std::string> resource;
        std::string expected;
    } cases[] = {
        {"no resource", std::nullopt, cur},
        {"empty resource", std::string(), cur},
        {"selector 0", block(std::string(1, '\0')), cur},
        {"selector 1", block("\x01"), win},
        {"selector 2", block("\x02"), sys},
        {"selector 3 loses the trailing separator", block("\x03"), tmp},
        {"selector 4 takes the text", block("\x04" + kSep + "opt" + kSep + "app"),
         kSep + "opt" + kSep + "app"},
        {"selector 4 drops one trailing separator",
         block("\x04"
               "D:" +
               kSep + kSep),
         "D:" + kSep},
        {"selector 4 with no text", block("\x04"), ""},
        {"selector 4 with text but no zero",
         "\x04"
         "abc",
         "abc"},
        {"selector 5",
         block("\x05"
               "ignored"),
         cur},
        {"selector 255", block("\xff"), cur},
    };
    for (const auto& c : cases) {
        FakeEnvironment env;
        env.folders[Environment::Folder::current] = cur + kSep;  // trailing separator goes too
        env.folders[Environment::Folder::windows] = win;
        env.folders[Environment::Folder::system] = sys;
        env.folders[Environment::Folder::temporary] = tmp + kSep;
        if (c.resource) {
            env.resources["DESTINATION"] = *c.resource;
        }
        EXPECT_EQ(app::defaultDestination(env), c.expected) << c.what;
    }
}

TEST(DefaultDestination, Selector4KeepsTheFirst259Characters) {
    FakeEnvironment env;
    const std::string text(300, 'd');
    env.resources["DESTINATION"] = "\x04" + text + std::string(1, '\0');
    EXPECT_EQ(app::defaultDestination(env), text.substr(0, 259));
}

#ifndef _WIN32
TEST(DefaultDestination, PosixRootStaysRoot) {
    FakeEnvironment env;
    env.resources["DESTINATION"] = block("\x04/");
    EXPECT_EQ(app::defaultDestination(env), "/");
}
#endif

TEST(LaunchCommandLine, QuotesTheProgramPathAndKeepsArguments) {
    const std::string dir = kSep + "Users" + kSep + "Joe Smith" + kSep + "Downloads";
    const struct {
        const char* what;
        std::string folder;
        std::string run;
        std::string expected;
    } cases[] = {
        {"plain", dir, "setup.exe", quoted(dir + kSep + "setup.exe")},
        {"empty folder: no leading separator", "", "setup.exe", quoted("setup.exe")},
        {"arguments stay arguments", dir, "setup.exe /S -x \"a b\"",
         quoted(dir + kSep + "setup.exe") + " /S -x \"a b\""},
        {"tab separates too", dir, "setup.exe\t-v", quoted(dir + kSep + "setup.exe") + "\t-v"},
        {"quoted program name with a blank", dir, "\"my setup.exe\" -v",
         quoted(dir + kSep + "my setup.exe") + " -v"},
        {"unclosed quote takes the rest", dir, "\"my setup.exe -v",
         quoted(dir + kSep + "my setup.exe -v")},
        {"empty text starts nothing", dir, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::launchCommand(c.folder, c.run).line, c.expected) << c.what;
    }
}

TEST(LaunchCommandLine, IsCutAtTheLongestPath) {
    const std::string folder(platform::kMaxPathLength, 'f');
    const std::string line = app::launchCommand(folder, "setup.exe").line;
    EXPECT_EQ(line.size(), platform::kMaxPathLength);
    EXPECT_EQ(line, quoted(folder + kSep + "setup.exe").substr(0, platform::kMaxPathLength));
    const std::string shortLine = app::launchCommand("", std::string(200, 'r')).line;
    EXPECT_EQ(shortLine, quoted(std::string(200, 'r')));
}

std::vector<vessel5::WrittenFile> wrote(std::initializer_list<const char*> names,
                                        const std::string& folder = "dest") {
    std::vector<vessel5::WrittenFile> files;
    for (const char* name : names) {
        files.push_back({name, folder + kSep + name});
    }
    return files;
}

TEST(Launch, ReadsRunUpToItsFirstZero) {
    FakeEnvironment env;
    env.resources["RUN"] = block("setup.exe -a");
    EXPECT_FALSE(app::launch(env, "dest", wrote({"setup.exe"})).refused);
    ASSERT_EQ(env.started.size(), 1u);
    EXPECT_EQ(env.started[0], quoted("dest" + kSep + "setup.exe") + " -a");
}

TEST(Launch, StartsNothingWithoutText) {
    const std::optional<std::string> cases[] = {std::nullopt, block(""), std::string()};
    for (const auto& run : cases) {
        FakeEnvironment env;
        if (run) {
            env.resources["RUN"] = *run;
        }
        EXPECT_FALSE(app::launch(env, "dest", wrote({"setup.exe"})).refused);
        EXPECT_TRUE(env.started.empty());
    }
}

TEST(Launch, TakesAtMost259CharactersOfRun) {
    FakeEnvironment env;
    env.resources["RUN"] = std::string(261, 'x');  // no zero at all
    const std::string name(259, 'x');
    app::launch(env, "", {{name, name}});
    ASSERT_EQ(env.started.size(), 1u);
    EXPECT_EQ(env.started[0], quoted(std::string(259, 'x')).substr(0, platform::kMaxPathLength));
}

// Only a file this run wrote is started, under the name it was written to; anything else that
// RUN could name starts nothing, and what was there before, or lies outside, is refused aloud.
TEST(Launch, StartsOnlyWhatThisRunWrote) {
    testsupport::TempDir dir;
    const std::string dest = dir.path();
    testsupport::writeFile(dest + kSep + "setup.exe", "planted");
    const struct {
        const char* what;
        std::string run;
        std::vector<vessel5::WrittenFile> written;
        std::string started;  // empty: nothing
        bool refused;
    } cases[] = {
        {"the archive's copy was renamed: the renamed copy runs",
         "setup.exe /S",
         {{"setup.exe", dest + kSep + "setup_1.exe"}},
         quoted(dest + kSep + "setup_1.exe") + " /S",
         false},
        {"a renamed top-level folder is followed",
         "dist\\setup.exe",
         {{"dist/setup.exe", dest + kSep + "dist_1" + kSep + "setup.exe"}},
         quoted(dest + kSep + "dist_1" + kSep + "setup.exe"),
         false},
        {"only a file from before matches: refused", "setup.exe", wrote({"other.exe"}, dest), "",
         true},
        {"names nothing at all: nothing, silently", "missing.exe", wrote({"other.exe"}, dest), "",
         false},
        {"climbs out of the destination", "..\\planted.exe", wrote({"planted.exe"}, dest), "",
         true},
        {"climbs out through a folder", "bin/../../planted.exe", wrote({"planted.exe"}, dest), "",
         true},
        {"absolute", "/bin/sh -c x", wrote({"bin/sh"}, dest), "", true},
        {"arguments with ';' and quotes stay arguments", "run.sh ; touch \"X Y\"",
         wrote({"run.sh"}, dest), quoted(dest + kSep + "run.sh") + " ; touch \"X Y\"", false},
    };
    for (const auto& c : cases) {
        FakeEnvironment env;
        env.resources["RUN"] = block(c.run);
        const app::LaunchResult result = app::launch(env, dest, c.written);
        EXPECT_EQ(result.refused, c.refused) << c.what;
        EXPECT_EQ(result.refused, !result.message.empty()) << c.what;
        if (c.started.empty()) {
            EXPECT_TRUE(env.started.empty()) << c.what;
        } else {
            ASSERT_EQ(env.started.size(), 1u) << c.what;
            EXPECT_EQ(env.started[0], c.started) << c.what;
        }
    }
}

// The one rule that splits RUN's arguments on every platform: no shell syntax, Windows quoting.
TEST(RunText, SplitsArgumentsByTheWindowsRule) {
    const struct {
        std::string line;
        std::vector<std::string> words;
    } cases[] = {
        {"a ; touch X", {"a", ";", "touch", "X"}},
        {"\"two words\" $(id) `id`", {"two words", "$(id)", "`id`"}},
        {"a\\\\\"b c\" d", {"a\\b c", "d"}},
        {"a\\\"b", {"a\"b"}},
        {"C:\\dir\\ x", {"C:\\dir\\", "x"}},
        {"\"\" x", {"", "x"}},
        {" \t ", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(base::splitArguments(c.line), c.words) << c.line;
        for (const std::string& word : c.words) {
            EXPECT_EQ(base::splitArguments(base::quoteArgument(word)),
                      std::vector<std::string>{word})
                << word;
        }
    }
}

}  // namespace
