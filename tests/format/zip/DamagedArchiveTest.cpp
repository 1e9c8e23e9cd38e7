// Damaged archives: every cut and every altered byte ends in an exception of the program's own
// hierarchy (or, where the damage happens not to matter, in success), never in a crash, a hang
// or a file outside the destination. Meant to run under the sanitizers as well.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ZipBuilder.h"
#include "tests/format/zip/ZipTestSupport.h"

using ziptest::EntryPlan;
using ziptest::Extraction;

namespace {

std::string readAll(const std::string& path) {
    auto bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// An archive with one entry of each kind the builder makes: folder, stored, empty, encrypted,
// encrypted with a descriptor, and stored with a descriptor.
std::string mixedArchive() {
    std::vector<EntryPlan> entries = {{"dir/", ""},
                                      {"dir/plain.txt", "plain text, stored"},
                                      {"empty", ""},
                                      {"secret.txt", "encrypted under the empty password"},
                                      {"dir/later.txt", "encrypted, sizes after the data"},
                                      {"tail.bin", std::string("\0\1\2\3\4\5\6\7", 8)}};
    entries[3].encrypt = true;
    entries[4].encrypt = true;
    entries[4].descriptor = true;
    entries[5].descriptor = true;
    ziptest::ArchivePlan plan;
    plan.comment = "comment";
    return ziptest::build(entries, plan).bytes;
}

// Runs one damaged archive; fails the test for anything but success or the program's own
// exceptions, and for any file that appeared outside the destination.
void runDamaged(const std::string& bytes, std::uint32_t startOffset, const std::string& what) {
    Extraction x(bytes, startOffset);
    const std::string result = x.run();  // lets any foreign exception escape and fail the test
    const auto parent = std::filesystem::path(x.out()).parent_path();
    for (const auto& item : std::filesystem::directory_iterator(parent)) {
        const std::string name = item.path().filename().string();
        EXPECT_TRUE(name == "archive.zip" || name == "out") << what << ": " << name;
    }
}

std::string sourceData(const std::string& name) {
    return testsupport::join(testsupport::join(testsupport::sourceDir(), "tests/data/zip"), name);
}

}  // namespace

// Cut points: every other byte of the records at the end, every eleventh one of the entries before
// them.
TEST(DamagedArchiveTest, CutsOfAnArchiveEndCleanly) {
    const std::string whole = mixedArchive();
    for (std::size_t cut = 0; cut < whole.size(); cut += cut + 420 < whole.size() ? 11 : 2) {
        runDamaged(whole.substr(0, cut), 0, "cut at " + std::to_string(cut));
    }
}

TEST(DamagedArchiveTest, AlteredBytesEndCleanly) {
    const std::string whole = mixedArchive();
    const std::uint8_t changes[] = {0xFF, 0x80, 0x01, 0x10};
    for (std::size_t at = 0; at < whole.size(); at += 5) {
        std::string damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ changes[at % 4]);
        runDamaged(damaged, 0, "byte " + std::to_string(at));
    }
}

TEST(DamagedArchiveTest, CutAndAlteredDeflatedSelfExtractingFilesEndCleanly) {
    const std::string whole = readAll(sourceData("sfx-rel-izip.sfx"));
    const std::size_t start = 70176;
    for (std::size_t cut = start; cut < whole.size(); cut += 997) {
        runDamaged(whole.substr(0, cut), static_cast<std::uint32_t>(start),
                   "cut at " + std::to_string(cut));
    }
    for (std::size_t at = start; at < whole.size(); at += 401) {
        std::string damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        runDamaged(damaged, static_cast<std::uint32_t>(start), "byte " + std::to_string(at));
    }
}

TEST(DamagedArchiveTest, AlteredLegacyArchivesEndCleanly) {
    const std::string shared = testsupport::fixturesDir();
    ZIPSFX_NEED_FIXTURE(!shared.empty(), "shared fixtures not present");
    for (const char* name :
         {"legacy/hwzip-shrink.zip", "legacy/hwzip-reduce4.zip", "legacy/hwzip-implode-8k3t.zip"}) {
        const std::string whole = readAll(testsupport::join(shared, name));
        for (std::size_t at = 0; at < whole.size(); at += whole.size() / 40 + 1) {
            std::string damaged = whole;
            damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
            runDamaged(damaged, 0, std::string(name) + " byte " + std::to_string(at));
        }
    }
}

// Imploded data does not mark its end: with a damaged size the decoder would take the end of
// the data for zero bits and write gigabytes. It is stopped, and its partial file removed.
TEST(DamagedArchiveTest, ASizeFarBeyondTheDataStopsTheDecoder) {
    const std::string shared = testsupport::fixturesDir();
    ZIPSFX_NEED_FIXTURE(!shared.empty(), "shared fixtures not present");
    std::string bytes = readAll(testsupport::join(shared, "legacy/hwzip-implode-8k3t.zip"));
    // Both records say 256 MiB (the local header must agree with the central one), which fits
    // the destination's free space.
    const std::string farBeyond("\0\xff\xff\x0f", 4);  // 0x0FFFFF00
    int patched = 0;
    for (const auto& record : {std::make_pair(std::string("PK\3\4", 4), 8),
                               std::make_pair(std::string("PK\1\2", 4), 10)}) {
        const std::size_t method = record.second;
        const std::size_t size = method + 14;  // the uncompressed size follows CRC and sizes
        for (std::size_t at = bytes.find(record.first); at != std::string::npos;
             at = bytes.find(record.first, at + 4)) {
            if (bytes[at + method] == 6) {
                bytes.replace(at + size, 4, farBeyond);
                ++patched;
            }
        }
    }
    ASSERT_GT(patched, 0);
    ASSERT_EQ(patched % 2, 0) << "each imploded entry in both of its records";
    Extraction x(bytes);
    EXPECT_EQ(x.run(),
              "Bad data exception: compressed data ended before the file did in zip reader.");
    for (const auto& entry : x.tree()) {
        EXPECT_LT(entry.second.size(), 1u << 20) << entry.first;
    }
}
