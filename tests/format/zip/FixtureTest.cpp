// Archives made by other tools extract to exactly the files of their listings: contents, sizes,
// folders and modification times.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "format/zip/CentralHeader.h"
#include "format/zip/EndHeader.h"
#include "io/FatTime.h"
#include "stream/MemoryStream.h"
#include "io/File.h"
#include "tests/format/zip/Sha256.h"
#include "tests/format/zip/ZipTestSupport.h"
#include "tests/support/TestSupport.h"

using ziptest::Extraction;

namespace {

struct Listed {
    std::string sha256;  // "-" for a folder
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::string path;
};

// "YYYY-MM-DD HH:MM:SS" as DOS date and time.
void parseDosDateTime(const std::string& text, std::uint16_t& date, std::uint16_t& time) {
    int year, month, day, hour, minute, second;
    std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second);
    date = static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
    time = static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

std::vector<Listed> readListing(const std::string& path) {
    std::vector<Listed> result;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t')) {
            fields.push_back(field);
        }
        if (fields.size() != 4) {
            ADD_FAILURE() << "bad listing line: " << line;
            continue;
        }
        Listed item;
        item.sha256 = fields[0];
        parseDosDateTime(fields[2], item.date, item.time);
        item.path = fields[3];
        result.push_back(item);
    }
    return result;
}

std::string readAll(const std::string& path) {
    auto bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

struct Fixture {
    std::string archive;  // below the folder
    std::string folder;   // "data" (the project's copies) or "shared" (the fixtures in place)
    std::uint32_t startOffset;
};

void PrintTo(const Fixture& f, std::ostream* os) {
    *os << f.archive;
}

std::string locate(const Fixture& f, const std::string& relative) {
    if (f.folder == "data") {
        return testsupport::join(testsupport::join(testsupport::sourceDir(), "tests/data/zip"),
                                 relative);
    }
    const std::string shared = testsupport::fixturesDir();
    return shared.empty() ? std::string() : testsupport::join(shared, relative);
}

std::string baseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

void checkFixture(const Fixture& f) {
    const std::string archive = locate(f, f.archive);
    const std::string listing = f.folder == "data"
                                    ? archive + ".sha256"
                                    : locate(f, "expected/" + baseName(f.archive) + ".sha256");
    ZIPSFX_NEED_FIXTURE(!archive.empty() && testsupport::fileExists(archive),
                        "fixture not present: " << f.archive);
    Extraction x(readAll(archive), f.startOffset);
    ASSERT_EQ(x.run(), "") << f.archive;
    const auto tree = x.tree();
    std::set<std::string> expectedPaths;
    for (const Listed& item : readListing(listing)) {
        const bool folder = item.sha256 == "-";
        std::string path = item.path;
        if (folder && path.back() == '/') {
            path.pop_back();
        }
        // Parent folders exist after extraction.
        for (std::size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            expectedPaths.insert(path.substr(0, slash) + "/");
        }
        expectedPaths.insert(folder ? path + "/" : path);
        if (folder) {
            continue;
        }
        auto found = tree.find(path);
        if (found == tree.end()) {
            ADD_FAILURE() << f.archive << ": missing " << path;
            continue;
        }
        EXPECT_EQ(ziptest::sha256(found->second), item.sha256) << f.archive << ": " << path;
        io::File file(testsupport::join(x.out(), path));
        EXPECT_EQ(file.modificationFileTime(), io::FatTime(item.date, item.time).utc())
            << f.archive << ": " << path;
    }
    std::set<std::string> actualPaths;
    for (const auto& entry : tree) {
        actualPaths.insert(entry.first);
    }
    EXPECT_EQ(actualPaths, expectedPaths) << f.archive;
}

// The stand-in program of the self-extracting fixtures is 70,144 bytes, followed by the mark.
constexpr std::uint32_t kSfxArchiveStart = 70144 + 32;

}  // namespace

class FixtureTest : public ::testing::TestWithParam<Fixture> {};

TEST_P(FixtureTest, ExtractsAsListed) {
    checkFixture(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Archives, FixtureTest,
                         ::testing::Values(Fixture{"xf-enc-empty-izip-deflate.zip", "data", 0},
                                           Fixture{"xf-enc-empty-izip-dd.zip", "data", 0},
                                           Fixture{"sfx-rel-izip.sfx", "data", kSfxArchiveStart},
                                           Fixture{"sfx-abs-izip-A.sfx", "data", kSfxArchiveStart},
                                           Fixture{"legacy/hwzip-shrink.zip", "shared", 0},
                                           Fixture{"legacy/hwzip-reduce1.zip", "shared", 0},
                                           Fixture{"legacy/hwzip-reduce2.zip", "shared", 0},
                                           Fixture{"legacy/hwzip-reduce3.zip", "shared", 0},
                                           Fixture{"legacy/hwzip-reduce4.zip", "shared", 0},
                                           Fixture{"legacy/hwzip-implode-4k2t.zip", "shared", 0},
                                           Fixture{"legacy/hwzip-implode-4k3t.zip", "shared", 0},
                                           Fixture{"legacy/hwzip-implode-8k2t.zip", "shared", 0},
                                           Fixture{"legacy/hwzip-implode-8k3t.zip", "shared", 0},
                                           Fixture{"pkzip/pkzip080-reduce1.zip", "shared", 0},
                                           Fixture{"pkzip/pkzip080-reduce2.zip", "shared", 0},
                                           Fixture{"pkzip/pkzip080-reduce3.zip", "shared", 0},
                                           Fixture{"pkzip/pkzip080-reduce4.zip", "shared", 0},
                                           Fixture{"pkzip/pkzip110-implode.zip", "shared", 0},
                                           Fixture{"pkzip/pkzip110-shrink.zip", "shared", 0},
                                           Fixture{"pkzip/pkzip204-deflate.zip", "shared", 0}),
                         [](const ::testing::TestParamInfo<Fixture>& info) {
                             return testsupport::testName(baseName(info.param.archive));
                         });

TEST(FixtureTest, AnArchiveUnderAnotherPasswordFailsAndLeavesNoFile) {
    const std::string path = testsupport::join(
        testsupport::join(testsupport::sourceDir(), "tests/data/zip"), "password-secret-izip.zip");
    Extraction x(readAll(path));
    EXPECT_EQ(x.run(), "Password exception: a password is needed for empty.txt in zip reader.");
    for (const auto& entry : x.tree()) {
        EXPECT_EQ(entry.first.back(), '/') << "left behind: " << entry.first;
    }
}

// With flag bit 3 the local header's CRC and sizes are not to be trusted: writers that stream
// leave zeros there. Every size, the uncompressed one included, must then come from the central
// record, or the methods that need it (reduce, implode) produce nothing.
TEST(FixtureTest, DescriptorEntriesTakeEverySizeFromTheCentralRecord) {
    const std::string shared = testsupport::fixturesDir();
    ZIPSFX_NEED_FIXTURE(!shared.empty(), "shared fixtures not present");
    for (const char* name : {"hwzip-reduce3.zip", "hwzip-implode-8k3t.zip", "hwzip-shrink.zip"}) {
        std::string bytes = readAll(testsupport::join(shared, std::string("legacy/") + name));
        // Walk the central directory and mark every entry, zeroing the local copies.
        stream::MemoryInput in(bytes);
        format::zip::EndHeader end;
        const std::uint64_t endPosition = end.locate(in);
        ASSERT_NE(endPosition, format::zip::EndHeader::kNotFound);
        in.seek(endPosition);
        end.read(in, true);
        std::uint64_t position = end.centralOffset;
        for (unsigned i = 0; i < end.totalEntries; ++i) {
            in.seek(position);
            format::zip::CentralHeader central;
            central.read(in, true);
            bytes[position + 8] = static_cast<char>(bytes[position + 8] | 8);
            const std::size_t local = central.localHeaderOffset;
            bytes[local + 6] = static_cast<char>(bytes[local + 6] | 8);
            std::fill(bytes.begin() + local + 14, bytes.begin() + local + 26, '\0');
            position += central.size();
        }
        Extraction x(bytes);
        ASSERT_EQ(x.run(), "") << name;
        const auto listing =
            readListing(testsupport::join(shared, std::string("expected/") + name + ".sha256"));
        const auto tree = x.tree();
        for (const Listed& item : listing) {
            if (item.sha256 == "-") {
                continue;
            }
            auto found = tree.find(item.path);
            ASSERT_NE(found, tree.end()) << name << ": " << item.path;
            EXPECT_EQ(ziptest::sha256(found->second), item.sha256) << name << ": " << item.path;
        }
    }
}
