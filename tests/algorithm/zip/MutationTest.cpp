// Damaged entry data (cut short or with bytes changed) must end in a result or an
// algorithm::Exception: never a crash, a hang or an access out of bounds. Run it under the
// sanitizers to see the last.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

TEST_P(Mutation, DamagedDataEndsInAResultOrAnAlgorithmException) {
    std::string path = testsupport::join(
        testsupport::join(testsupport::sourceDir(), "tests/data/legacy"), GetParam());
    std::mt19937 random(20261210);
    unsigned decoded = 0;
    unsigned rejected = 0;
    for (const LocalEntry& entry : legacytest::readLocalEntries(testsupport::readFile(path))) {
        if (entry.method == 0 || entry.data.empty()) {
            continue;
        }
        for (int i = 0; i < kMutationsPerEntry; ++i) {
            std::vector<std::uint8_t> damaged = mutate(entry.data, random);
            SCOPED_TRACE(entry.name + " mutation " + std::to_string(i));
            try {
                std::vector<std::uint8_t> out = decodeEntry(entry, damaged);
                if (entry.method != 1) {
                    EXPECT_LE(out.size(), entry.uncompressedSize + kLongestMatch);
                }
                ++decoded;
            } catch (const algorithm::Exception&) {
                ++rejected;
            }
        }
    }
    EXPECT_GT(decoded + rejected, 0u);
}

INSTANTIATE_TEST_SUITE_P(Legacy, Mutation, testing::ValuesIn(kArchives),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

}  // namespace
