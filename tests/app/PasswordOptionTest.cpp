// The stubs' "-p PASSWORD" in front of the rest of the command line.
#include <gtest/gtest.h>

#include "app/ExtractionRun.h"

namespace {

TEST(PasswordOptionTest, TakesTheFirstTwoWordsOnlyWhenTheyAreDashPAndAPassword) {
    struct Case {
        const char* line;
        bool taken;
        const char* password;
        const char* rest;
    };
    const Case cases[] = {
        {"-p secret -q", true, "secret", "-q"},
        {"-p \"two words\" -q", true, "two words", "-q"},
        {"-p \"say \\\"hi\\\"\"", true, "say \"hi\"", ""},
        {"-p p\xC3\xA4ss", true, "p\xC3\xA4ss", ""},
        {"-q -p secret", false, "", ""},
        {"-p", false, "", ""},
        {"-psecret -q", false, "", ""},
        {"", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string password = "unchanged";
        std::string rest = "unchanged";
        EXPECT_EQ(app::takePasswordOption(c.line, password, rest), c.taken) << c.line;
        if (c.taken) {
            EXPECT_EQ(password, c.password) << c.line;
            EXPECT_EQ(rest, c.rest) << c.line;
            // What is left is compared with "-q" as before.
            EXPECT_EQ(app::isQuietCommandLine(rest), std::string(c.rest) == "-q") << c.line;
        } else {
            EXPECT_EQ(password, "unchanged") << c.line;
        }
    }
}

}  // namespace
