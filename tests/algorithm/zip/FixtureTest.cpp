// Every archive made by other tools with the legacy methods decodes to exactly the data its
// producer compressed (the local header's CRC-32 and size).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algorithm/CRC32.h"
#include "tests/algorithm/zip/LegacyTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using legacytest::decodeEntry;
using legacytest::readLocalEntries;

struct Archive {
    const char* name;
    bool shared;  // read in place from the shared fixtures, never copied into the project
    unsigned entries;
};

std::string archivePath(const Archive& a) {
    if (a.shared) {
        std::string fixtures = testsupport::fixturesDir();
        return fixtures.empty() ? std::string()
                                : testsupport::join(testsupport::join(fixtures, "pkzip"), a.name);
    }
    return testsupport::join(testsupport::join(testsupport::sourceDir(), "tests/data/legacy"),
                             a.name);
}

class LegacyFixture : public testing::TestWithParam<Archive> {};

TEST_P(LegacyFixture, EveryEntryDecodesToItsCrcAndSize) {
    const Archive& a = GetParam();
    std::string path = archivePath(a);
    ZIPSFX_NEED_FIXTURE(!a.shared || (!path.empty() && testsupport::fileExists(path)),
                        "shared fixture " << a.name << " is absent (../shared/fixtures/pkzip)");
    auto entries = readLocalEntries(testsupport::readFile(path));
    ASSERT_EQ(entries.size(), a.entries);
    for (const auto& e : entries) {
        SCOPED_TRACE(e.name + " method " + std::to_string(e.method));
        auto out = decodeEntry(e);
        EXPECT_EQ(out.size(), e.uncompressedSize);
        EXPECT_EQ(algorithm::CRC32::of(out.data(), out.size()), e.crc);
    }
}

const Archive kArchives[] = {
    {"hwzip-shrink.zip", false, 7},       {"hwzip-reduce1.zip", false, 7},
    {"hwzip-reduce2.zip", false, 7},      {"hwzip-reduce3.zip", false, 7},
    {"hwzip-reduce4.zip", false, 7},      {"hwzip-implode-4k2t.zip", false, 7},
    {"hwzip-implode-4k3t.zip", false, 7}, {"hwzip-implode-8k2t.zip", false, 7},
    {"hwzip-implode-8k3t.zip", false, 7}, {"pkzip080-reduce1.zip", true, 15},
    {"pkzip080-reduce2.zip", true, 15},   {"pkzip080-reduce3.zip", true, 15},
    {"pkzip080-reduce4.zip", true, 15},   {"pkzip110-implode.zip", true, 15},
    {"pkzip110-shrink.zip", true, 15},
};

std::string archiveName(const testing::TestParamInfo<Archive>& info) {
    return testsupport::testName(info.param.name);
}

INSTANTIATE_TEST_SUITE_P(Archives, LegacyFixture, testing::ValuesIn(kArchives), archiveName);

}  // namespace
