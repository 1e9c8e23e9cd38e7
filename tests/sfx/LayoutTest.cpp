#include <gtest/gtest.h>

#include <string>

#include "sfx/Layout.h"

namespace {

// The one splitting of a RUN line, which `zipsfx make` warns by and the stub starts by.
TEST(SplitRunLine, ProgramIsTheFirstWordOrTheQuotedName) {
    const struct {
        const char* run;
        const char* program;
        const char* arguments;
    } cases[] = {
        {"setup.exe", "setup.exe", ""},
        {"setup.exe /q /log x", "setup.exe", " /q /log x"},
        {"setup.exe /S -x \"a b\"", "setup.exe", " /S -x \"a b\""},
        {"bin\\tool.exe\t-x", "bin\\tool.exe", "\t-x"},
        {" setup.exe", "", " setup.exe"},  // the stub would start the destination folder itself
        {"\"My App\\run me.exe\" --now", "My App\\run me.exe", " --now"},
        {"\"my setup.exe\"-v", "my setup.exe", "-v"},  // arguments right after the quote
        {"\"unclosed name", "unclosed name", ""},
        {"\"\"", "", ""},
        {"", "", ""},
        {"   ", "", "   "},
        {"a\"b c", "a\"b", " c"},  // a quote only counts as the first character
    };
    for (const auto& c : cases) {
        const sfx::RunLine split = sfx::splitRunLine(c.run);
        EXPECT_EQ(split.program, c.program) << c.run;
        EXPECT_EQ(split.arguments, c.arguments) << c.run;
    }
}

TEST(Layout, MarkIsRestoredWholeAndLiesInsideTheSearch) {
    const sfx::Mark mark = sfx::mark();
    EXPECT_EQ(mark.size(), 32u);
    EXPECT_NE(mark, sfx::Mark{});
    EXPECT_EQ(sfx::kMarkSearchLimit % sfx::kMarkSearchStep, 0u);
    // The selector and the folder text fit in a block with the terminating zero.
    EXPECT_EQ(sfx::kMaxSettingsText + 2, sfx::kSettingsBlockSize);
}

}  // namespace
