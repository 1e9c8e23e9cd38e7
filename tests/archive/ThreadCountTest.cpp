// The thread count a value of ZIPSFX_THREADS asks for, and what anything else falls back to.
#include <gtest/gtest.h>

#include "archive/Threads.h"

TEST(ThreadCountTest, TakesANumberFromOneToEightAndFallsBackOtherwise) {
    struct Case {
        std::optional<std::string> value;
        unsigned processors;
        unsigned expected;
    };
    const Case cases[] = {
        {std::nullopt, 4, 4},      {std::nullopt, 16, 8},      {std::nullopt, 0, 1},
        {std::string("1"), 4, 1},  {std::string("8"), 2, 8},   {std::string("08"), 2, 8},
        {std::string("3"), 16, 3}, {std::string(""), 2, 2},    {std::string("0"), 2, 2},
        {std::string("9"), 2, 2},  {std::string("100"), 2, 2}, {std::string("-1"), 2, 2},
        {std::string(" 4"), 2, 2}, {std::string("4x"), 2, 2},  {std::string("x"), 6, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vessel5::threadsFor(c.value, c.processors), c.expected)
            << (c.value ? "\"" + *c.value + "\"" : "unset") << " on " << c.processors;
    }
}
