#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "base/Decimal.h"

namespace {

TEST(Decimal, MatchesToStringAtTheEdgesOfEachType) {
    EXPECT_EQ(generic::decimal(0), "0");
    EXPECT_EQ(generic::decimal(9u), "9");
    EXPECT_EQ(generic::decimal(10), "10");
    EXPECT_EQ(generic::decimal(-1), "-1");
    EXPECT_EQ(generic::decimal(static_cast<unsigned char>(255)), "255");
    EXPECT_EQ(generic::decimal(static_cast<signed char>(-128)), "-128");
    EXPECT_EQ(generic::decimal(std::numeric_limits<std::int32_t>::min()), "-2147483648");
    EXPECT_EQ(generic::decimal(std::numeric_limits<std::uint32_t>::max()), "4294967295");
    EXPECT_EQ(generic::decimal(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(generic::decimal(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");
}

}  // namespace
