// Damaged entry data (cut short or with bytes changed) must end either in the entry's own bytes
// (the damage did not matter), in bytes whose CRC-32 differs (which the entry decoder's check
// rejects), or in an algorithm::Exception: never another exception, a crash, a hang or an access
// out of bounds. Run it under the sanitizers to see the last.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "algorithm/CRC32.h"
#include "base/Exception.h"
#include "tests/algorithm/zip/LegacyTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using legacytest::decodeEntry;
using legacytest::LocalEntry;

const char* const kArchives[] = {
    "hwzip-shrink.zip",       "hwzip-reduce1.zip",      "hwzip-reduce2.zip",
    "hwzip-reduce3.zip",      "hwzip-reduce4.zip",      "hwzip-implode-4k2t.zip",
    "hwzip-implode-4k3t.zip", "hwzip-implode-8k2t.zip", "hwzip-implode-8k3t.zip",
};

constexpr int kMutationsPerEntry = 40;
// The longest match any of the methods copies whole past the size (Reduce factor 1).
constexpr std::uint64_t kLongestMatch = 127 + 255 + 3;

std::vector<std::uint8_t> mutate(const std::vector<std::uint8_t>& data, std::mt19937& random) {
    std::vector<std::uint8_t> out = data;
    auto pick = [&](std::size_t n) {
        return static_cast<std::size_t>(
            std::uniform_int_distribution<std::size_t>(0, n - 1)(random));
    };
    switch (pick(3)) {
        case 0:  // cut short
            out.resize(pick(out.size()));
            break;
        case 1: {  // change bytes near the start, where the trees and follower sets are
            std::size_t span = std::min<std::size_t>(out.size(), 300);
            for (std::size_t i = 0, n = 1 + pick(3); i < n; ++i) {
                out[pick(span)] = static_cast<std::uint8_t>(pick(256));
            }
            break;
        }
        default:  // change bytes anywhere
            for (std::size_t i = 0, n = 1 + pick(4); i < n; ++i) {
                out[pick(out.size())] ^= static_cast<std::uint8_t>(1 + pick(255));
            }
            break;
    }
    return out;
}

class Mutation : public testing::TestWithParam<const char*> {};

// What became of the damaged copies of one archive's entries.
struct Outcomes {
    unsigned right = 0;     // the entry's size and CRC-32: the damage did not matter
    unsigned wrongCrc = 0;  // output the entry decoder's CRC check rejects
    unsigned thrown = 0;    // an algorithm::Exception
};

Outcomes mutateArchive(const char* name) {
    std::string path =
        testsupport::join(testsupport::join(testsupport::sourceDir(), "tests/data/legacy"), name);
    std::mt19937 random(20261210);
    Outcomes outcomes;
    for (const LocalEntry& entry : legacytest::readLocalEntries(testsupport::readFile(path))) {
        if (entry.method == 0 || entry.data.empty()) {
            continue;
        }
        for (int i = 0; i < kMutationsPerEntry; ++i) {
            std::vector<std::uint8_t> damaged = mutate(entry.data, random);
            SCOPED_TRACE(entry.name + " mutation " + std::to_string(i));
            std::vector<std::uint8_t> out;
            try {
                out = decodeEntry(entry, damaged);  // any other exception fails the test
            } catch (const algorithm::Exception&) {
                ++outcomes.thrown;
                continue;
            }
            if (entry.method != 1) {
                EXPECT_LE(out.size(), entry.uncompressedSize + kLongestMatch);
            }
            if (out.size() == entry.uncompressedSize &&
                algorithm::CRC32::of(out.data(), out.size()) == entry.crc) {
                ++outcomes.right;
            } else {
                ++outcomes.wrongCrc;
            }
        }
    }
    return outcomes;
}

TEST_P(Mutation, DamagedDataDecodesRightOrIsRejected) {
    const Outcomes outcomes = mutateArchive(GetParam());
    // Damage is caught: were every copy to decode right, the copies would not be damaged.
    EXPECT_GT(outcomes.thrown + outcomes.wrongCrc, 0u);
}

// Over all the seeds, each of the three ends happens: the sorting above is no formality. (The
// copies that decode right are rare: damage in bits the decoder never reads, such as the last
// byte's padding or a follower set no byte uses.)
TEST(MutationOverTheSeeds, EachEndHappens) {
    Outcomes total;
    for (const char* name : kArchives) {
        SCOPED_TRACE(name);
        const Outcomes outcomes = mutateArchive(name);
        total.right += outcomes.right;
        total.wrongCrc += outcomes.wrongCrc;
        total.thrown += outcomes.thrown;
    }
    EXPECT_GT(total.right, 0u);
    EXPECT_GT(total.wrongCrc, 0u);
    EXPECT_GT(total.thrown, 0u);
}

INSTANTIATE_TEST_SUITE_P(Legacy, Mutation, testing::ValuesIn(kArchives),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return testsupport::testName(info.param);
                         });

}  // namespace
