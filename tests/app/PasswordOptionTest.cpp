// The stubs' "-p PASSWORD" among the other options of the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

// The password read, "none" without one, or "interactive" when the line is no option line.
std::string passwordOf(const app::StubArguments& a) {
    if (!a.quiet && !a.test && !a.help && !a.destination && !a.password && a.runArguments.empty()) {
        return "interactive";
    }
    return a.password ? "[" + *a.password + "]" : "none";
}

TEST(PasswordOptionTest, WindowsLines) {
    const struct {
        const char* line;
        const char* read;
    } cases[] = {
        {"-p secret -q", "[secret]"},
        {"-q -p secret", "[secret]"},
        {"-p \"two words\" -q", "[two words]"},
        {"-p \"say \\\"hi\\\"\"", "[say \"hi\"]"},
        {"-p p\xC3\xA4ss", "[p\xC3\xA4ss]"},
        {"-p \"\" -q", "[]"},
        {"-t -p secret -d C:\\x", "[secret]"},
        {"-p", "interactive"},  // the password is missing
        {"-psecret -q", "interactive"},
        {"-P secret", "interactive"},
        {"-q -- -p secret", "none"},  // RUN's words
        {"", "interactive"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(passwordOf(app::parseStubArguments(app::commandWords(c.line))), c.read)
            << "[" << c.line << "]";
    }
}

TEST(PasswordOptionTest, PosixWordsAndTheOtherOptions) {
    std::vector<app::CommandWord> words;
    for (const char* word : {"-q", "-p", "a b \"c\"", "-d", "/tmp/x", "--", "-p", "y"}) {
        words.push_back(app::CommandWord{word, word});
    }
    const app::StubArguments a = app::parseStubArguments(words);
    ASSERT_TRUE(a.password.has_value());
    EXPECT_EQ(*a.password, "a b \"c\"");
    EXPECT_TRUE(a.quiet);
    ASSERT_TRUE(a.destination.has_value());
    EXPECT_EQ(*a.destination, "/tmp/x");
    EXPECT_EQ(a.runArguments, (std::vector<std::string>{"-p", "y"}));
}

TEST(PasswordOptionTest, UsageNamesIt) {
    EXPECT_NE(app::stubUsage().find("-p PASSWORD"), std::string::npos);
}

}  // namespace
