// Archives as the common producers write them: Zip64 records and extra fields, "./" entries,
// folders after their files, symbolic links, exact times, and self-extracting files whose offsets
// count from the file start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "format/zip/ExtraFields.h"
#include "format/zip/ZipReader.h"
#include "io/File.h"
#include "io/TimeUnits.h"
#include "tests/support/ZipBuilder.h"
#include "tests/format/zip/ZipTestSupport.h"

using ziptest::build;
using ziptest::EntryPlan;
using ziptest::Extraction;

namespace {

using Tree = std::map<std::string, std::string>;

constexpr std::uint16_t kUnix = 3 << 8 | 30;
constexpr std::uint32_t kLinkMode = 0120777u << 16;

struct Skips {
    std::vector<std::string> lines;
};

bool onSkipped(const std::string& text, void* user) {
    static_cast<Skips*>(user)->lines.push_back(text);
    return true;
}

}  // namespace

TEST(ProducerArchivesTest, Zip64ExtraFieldsWithEverySubsetOfMarkedValues) {
    using namespace ziptest;
    const std::string program(3000, 'M');
    for (unsigned fields = 0; fields < 16; ++fields) {
        for (bool absolute : {false, true}) {
            std::vector<EntryPlan> entries = {
                {"a/", ""}, {"a/one.txt", "first"}, {"a/two.bin", std::string(300, 'z')}};
            for (auto& e : entries) {
                e.zip64 = fields;
                e.versionNeeded = 45;
            }
            ArchivePlan plan;
            plan.prefix = program;
            plan.absoluteOffsets = absolute;
            Extraction x(build(entries, plan).bytes, static_cast<std::uint32_t>(program.size()));
            EXPECT_EQ(x.run(), "") << fields << " " << absolute;
            EXPECT_EQ(
                x.tree(),
                (Tree{{"a/", ""}, {"a/one.txt", "first"}, {"a/two.bin", std::string(300, 'z')}}))
                << fields << " " << absolute;
        }
    }
}

TEST(ProducerArchivesTest, AMarkedValueWithoutItsZip64FieldIsAFormatError) {
    EntryPlan e{"a.txt", "data"};
    e.alterCentral = [](format::zip::CentralHeader& c) { c.compressedSize = 0xFFFFFFFFu; };
    Extraction x(build({e}).bytes);
    EXPECT_NE(x.run().find("no Zip64 extra field"), std::string::npos);
    EXPECT_EQ(x.tree(), Tree{});

    // A field too short for the values that are marked.
    EntryPlan shortField{"b.txt", "data"};
    shortField.zip64 = ziptest::kWideUncompressed;
    shortField.alterCentral = [](format::zip::CentralHeader& c) { c.compressedSize = 0xFFFFFFFFu; };
    Extraction y(build({shortField}).bytes);
    EXPECT_NE(y.run().find("Zip64 value is missing"), std::string::npos);
}

TEST(ProducerArchivesTest, AZip64EndRecordGivesTheDirectoryWithEitherOffsetConvention) {
    const std::string program(5000, 'M');
    for (bool absolute : {false, true}) {
        ziptest::ArchivePlan plan;
        plan.zip64End = true;
        plan.prefix = program;
        plan.absoluteOffsets = absolute;
        Extraction x(build({{"x.txt", "zip64"}, {"y/", ""}}, plan).bytes,
                     static_cast<std::uint32_t>(program.size()));
        EXPECT_EQ(x.run(), "") << absolute;
        EXPECT_EQ(x.tree(), (Tree{{"x.txt", "zip64"}, {"y/", ""}})) << absolute;
    }
}

TEST(ProducerArchivesTest, MoreThan65535EntriesThroughTheZip64EndRecord) {
    std::vector<EntryPlan> entries;
    constexpr int kCount = 70000;
    entries.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
        entries.emplace_back("f/" + std::to_string(i), std::to_string(i));
    }
    ziptest::ArchivePlan plan;
    plan.zip64End = true;
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "many.zip", build(entries, plan).bytes);
    // Scanning walks every central record; extracting 70,000 files would only time the disk.
    vessel5::Archive archive;
    archive.open(dir / "many.zip");
    archive.scan();
    auto* reader = dynamic_cast<format::zip::ZipReader*>(archive.reader());
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(reader->isZip64());
    ASSERT_EQ(reader->entries().size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(reader->entries().back().name, "f/69999");
    EXPECT_EQ(archive.settings().entryCount, kCount);
    archive.close();
}

TEST(ProducerArchivesTest, TheOffsetConventionIsDecidedOnceFromTheDirectory) {
    // Offsets from the file start behind a program whose bytes, at the archive-relative
    // candidate of the first entry and of the directory, begin with "P" but are no records.
    std::string program(4096, 'M');
    for (std::size_t i = 0; i < program.size(); i += 7) {
        program[i] = 'P';
    }
    ziptest::ArchivePlan plan;
    plan.prefix = program;
    plan.absoluteOffsets = true;
    std::vector<EntryPlan> entries;
    for (int i = 0; i < 40; ++i) {
        entries.emplace_back("e" + std::to_string(i), std::string(i * 13, 'P'));
    }
    auto built = build(entries, plan);
    Extraction x(built.bytes, static_cast<std::uint32_t>(program.size()));
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree().size(), entries.size());
    EXPECT_EQ(x.tree().at("e39"), std::string(39 * 13, 'P'));

    // Both conventions find a local header: offsets count from the file start, and at the
    // archive-relative candidate of the first entry, inside its data, lies a decoy header. The
    // directory's real place decides, as other readers decide.
    constexpr std::size_t kStart = 100;
    format::zip::LocalHeader decoyHeader;
    decoyHeader.versionNeeded = 20;
    decoyHeader.crc = algorithm::CRC32::of("wrong", 5);
    decoyHeader.compressedSize = decoyHeader.uncompressedSize = 5;
    decoyHeader.name = "decoy.txt";
    stream::MemoryOutput decoy;
    decoyHeader.write(decoy);
    // The real entry's data begin at kStart + 30 + 8; the decoy must sit at 2 * kStart.
    const std::string data =
        std::string(2 * kStart - (kStart + 38), 'f') + decoy.text() + "wrong" + "tail";
    ziptest::ArchivePlan both;
    both.prefix = std::string(kStart, 'M');
    both.absoluteOffsets = true;
    Extraction y(build({{"real.txt", data}}, both).bytes, kStart);
    EXPECT_EQ(y.run(), "");
    EXPECT_EQ(y.tree(), (Tree{{"real.txt", data}}));
}

TEST(ProducerArchivesTest, ADotSlashFolderIsTheDestinationItself) {
    // As bsdtar writes it: "./" first, then names below it.
    Extraction x(build({{"./", ""}, {"./a.txt", "a"}, {"./d/", ""}, {"./d/f.txt", "f"}}).bytes);
    Skips skips;
    x.archive().onItemSkipped(onSkipped, &skips);
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), (Tree{{"a.txt", "a"}, {"d/", ""}, {"d/f.txt", "f"}}));
    EXPECT_TRUE(skips.lines.empty());
}

TEST(ProducerArchivesTest, AFileWhoseNameCleansToNothingIsSkippedAndTheRestExtracts) {
    Extraction x(build({{"..", "dots"}, {"ok.txt", "ok"}, {"./.", "dot"}}).bytes);
    Skips skips;
    x.archive().onItemSkipped(onSkipped, &skips);
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), (Tree{{"ok.txt", "ok"}}));
    EXPECT_EQ(skips.lines, (std::vector<std::string>{"..: no usable output name",
                                                     "./.: no usable output name"}));
}

TEST(ProducerArchivesTest, ExactTimesComeFromTheExtraFieldsInEveryTimeZone) {
    const std::int64_t seconds = 1700000000;  // 2023-11-14 22:13:20 UTC
    const std::uint64_t ticks = (seconds + 11644473600ULL) * io::kTicksPerSecond + 1234567;
    std::string ntfs;
    auto put = [&ntfs](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            ntfs.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    };
    put(0x000a, 2);
    put(32, 2);
    put(0, 4);
    put(1, 2);
    put(24, 2);
    put(ticks, 8);
    put(ticks, 8);
    put(ticks, 8);

#ifdef _WIN32
    // The system's zone decides on Windows; the DOS time would follow it, the exact ones not.
    for (const char* zone : {"system zone"}) {
#else
    const char* before = std::getenv("TZ");
    const std::string saved = before != nullptr ? before : "";
    for (const char* zone : {"UTC0", "EST5EDT", "JST-9"}) {
        setenv("TZ", zone, 1);
        tzset();
#endif
        EntryPlan unix{"unix.txt", "u"};
        unix.extra = format::zip::timestampExtraBlock(seconds);
        EntryPlan windows{"ntfs.txt", "n"};
        windows.extra = ntfs;
        Extraction x(build({unix, windows}).bytes);
        ASSERT_EQ(x.run(), "") << zone;
        io::File u(testsupport::join(x.out(), "unix.txt"));
        EXPECT_EQ(u.modificationFileTime(), (seconds + 11644473600ULL) * io::kTicksPerSecond)
            << zone;
        io::File n(testsupport::join(x.out(), "ntfs.txt"));
        // The file system may keep fewer digits than ticks.
        EXPECT_EQ(n.modificationFileTime() / io::kTicksPerSecond, ticks / io::kTicksPerSecond)
            << zone;
    }
#ifndef _WIN32
    if (before != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
#endif
}

#ifndef _WIN32
namespace {

EntryPlan linkEntry(const std::string& name, const std::string& target) {
    EntryPlan e{name, target};
    e.versionMadeBy = kUnix;
    e.externalAttributes = kLinkMode;
    return e;
}

}  // namespace

TEST(ProducerArchivesTest, LinksInsideAreMadeAndLinksLeadingOutsideAreSkipped) {
    const std::vector<EntryPlan> entries = {
        {"d/", ""},
        {"d/target.txt", "t"},
        linkEntry("d/good", "target.txt"),
        linkEntry("d/up", "../d/target.txt"),
        linkEntry("top", "d"),
        linkEntry("d/escape", "../../outside"),
        linkEntry("abs", "/etc/passwd"),
        // Through the link "top": the file must not land in "d".
        {"top/through.txt", "x"},
        // A target that passes through a link of the same archive.
        linkEntry("d/self", "."),
        linkEntry("chain", "d/self/../../x")};
    Extraction x(build(entries).bytes);
    Skips skips;
    x.archive().onItemSkipped(onSkipped, &skips);
    EXPECT_EQ(x.run(), "");
    namespace fs = std::filesystem;
    const fs::path out = x.out();
    EXPECT_TRUE(fs::is_symlink(out / "d/good"));
    EXPECT_EQ(fs::read_symlink(out / "d/good"), "target.txt");
    EXPECT_TRUE(fs::is_symlink(out / "d/up"));
    EXPECT_TRUE(fs::is_symlink(out / "d/self"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(out / "d/escape")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(out / "abs")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(out / "chain")));
    // The file was written into a real folder "top"; the link then took another name.
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(out / "top")));
    EXPECT_FALSE(fs::exists(out / "d/through.txt"));
    EXPECT_TRUE(fs::is_symlink(out / "top_1"));
    EXPECT_EQ(skips.lines.size(), 3u);
}
#endif
