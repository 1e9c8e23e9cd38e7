#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "base/CheckedSum.h"

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(CheckedSum, ReportsOrStopsAtEverySumPastSixtyFourBits) {
    struct Case {
        std::uint64_t a;
        std::uint64_t b;
        bool fits;
        std::uint64_t saturated;
    };
    const Case cases[] = {
        {0, 0, true, 0},
        {kMax, 0, true, kMax},
        {kMax - 1, 1, true, kMax},
        {kMax, 1, false, kMax},                                         // would wrap to 0
        {std::uint64_t(1) << 63, std::uint64_t(1) << 63, false, kMax},  // two halves: 0
        {kMax - 40, 70, false, kMax},  // an end that wraps to a small offset
        {kMax, kMax, false, kMax},
    };
    for (const Case& c : cases) {
        std::uint64_t sum = 12345;
        EXPECT_EQ(base::addChecked(c.a, c.b, sum), c.fits) << c.a << " + " << c.b;
        EXPECT_EQ(sum, c.fits ? c.a + c.b : 12345u) << "a failed sum leaves its result alone";
        EXPECT_EQ(base::addSaturated(c.a, c.b), c.saturated) << c.a << " + " << c.b;
        EXPECT_EQ(base::addSaturated(c.b, c.a), c.saturated) << c.b << " + " << c.a;
    }
}

}  // namespace
