// The host tool's reading commands: where the archive starts, list, test and extract, their
// output, exit codes and usage errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "sfx/Layout.h"
#include "tests/support/TestSupport.h"
#include "format/zip/MethodNames.h"
#include "tools/zipsfx/ArchiveStart.h"
#include "tools/zipsfx/Commands.h"
#include "tools/zipsfx/Listing.h"
#include "tools/zipsfx/MakeProgress.h"
#include "tools/zipsfx/ProgressLine.h"
#include "tests/support/ZipBuilder.h"

using ziptest::EntryPlan;

namespace {

std::string dataFile(const std::string& name) {
    return testsupport::join(testsupport::join(testsupport::sourceDir(), "tests/data/zip"), name);
}

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

// Runs a command with its arguments (the command word first).
Outcome run(int (*command)(int, char**, const tools::Console&), std::vector<std::string> words,
            bool terminal = false) {
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(&word[0]);
    }
    std::ostringstream out;
    std::ostringstream err;
    const tools::Console console{out, err, terminal};
    const int code = command(static_cast<int>(argv.size()), argv.data(), console);
    return {code, out.str(), err.str()};
}

std::vector<std::string> filesBelow(const std::string& folder) {
    std::vector<std::string> result;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
        result.push_back(std::filesystem::relative(item.path(), folder).generic_string() +
                         (item.is_directory() ? "/" : ""));
    }
    std::sort(result.begin(), result.end());
    return result;
}

const std::vector<EntryPlan> kEntries = {
    {"docs/", ""}, {"docs/a.txt", "alpha"}, {"docs/b.txt", "bravo bravo"}, {"top.txt", "top"}};

}  // namespace

TEST(ArchiveStartTest, FindsTheMarkOrStartsAtZero) {
    testsupport::TempDir dir;
    const std::string zip = ziptest::build(kEntries).bytes;
    const sfx::Mark mark = sfx::mark();
    const std::string markText(mark.begin(), mark.end());
    struct Case {
        std::string name;
        std::string bytes;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"plain zip", zip, 0},
        {"mark at 1024", std::string(1024, 'p') + markText + zip, 1024 + 32},
        {"mark at 0", markText + zip, 32},
        {"no mark, program in front", std::string(4096, 'p') + zip, 0},
        {"shorter than a mark", "PK", 0},
    };
    for (const auto& c : cases) {
        const std::string path = dir / "file";
        testsupport::writeFile(path, c.bytes);
        EXPECT_EQ(tools::findArchiveStart(path), c.expected) << c.name;
    }
    EXPECT_EQ(tools::findArchiveStart(dataFile("sfx-rel-izip.sfx")), 70144u + 32u);
}

TEST(ListingTest, NamesMethodsAndDates) {
    const std::pair<int, std::string> methods[] = {
        {0, "Stored"},   {1, "Shrunk"},         {2, "Reduced1"},  {5, "Reduced4"}, {6, "Imploded"},
        {8, "Deflated"}, {7, "Tokenized"},      {9, "Deflate64"}, {12, "BZip2"},   {14, "LZMA"},
        {98, "PPMd"},    {99, "AES encrypted"}, {11, "Method 11"}};
    for (const auto& m : methods) {
        EXPECT_EQ(format::zip::methodName(static_cast<std::uint8_t>(m.first)), m.second);
    }
    EXPECT_EQ(format::zip::unsupportedMethodText(9),
              "unsupported compression method 9 (Deflate64)");
    EXPECT_EQ(format::zip::unsupportedMethodText(11), "unsupported compression method 11");
    EXPECT_EQ(tools::dosDateTime(0x5266, 0x1A1D), "2021-03-06 03:16:58");
    EXPECT_EQ(tools::dosDateTime(0x0021, 0x0000), "1980-01-01 00:00:00");
}

TEST(ListingTest, ListsEveryCentralRecordWithTotals) {
    const Outcome r = run(tools::runList, {"list", dataFile("xf-enc-empty-izip-dd.zip")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Deflated*  2021-03-06 03:06:40"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  sub/inner/table.bin\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("8 entries\n"), std::string::npos) << r.out;

    const auto entries = tools::listArchive(dataFile("sfx-abs-izip-A.sfx"), 70176);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[1].name, "setup.exe");
    EXPECT_EQ(entries[1].uncompressedSize, 50000u);
    EXPECT_EQ(entries[1].method, 8);
}

TEST(ToolCommandsTest, TestChecksEveryEntryAndWritesNothing) {
    testsupport::TempDir dir;
    std::vector<EntryPlan> entries = kEntries;
    entries[2].alter = [](std::string& data) { data[0] = 'B'; };
    testsupport::writeFile(dir / "a.zip", ziptest::build(entries).bytes);
    const Outcome r = run(tools::runTest, {"test", dir / "a.zip"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out,
              "not signed\n"
              "OK      docs/\n"
              "OK      docs/a.txt\n"
              "FAILED  docs/b.txt: Bad data exception: CRC mismatch in zip reader; data is "
              "invalid.\n"
              "OK      top.txt\n"
              "4 entries checked, 1 failed\n");
    EXPECT_EQ(filesBelow(dir.path()), std::vector<std::string>{"a.zip"});

    const Outcome good = run(tools::runTest, {"test", dataFile("sfx-rel-izip.sfx")});
    EXPECT_EQ(good.code, 0) << good.out << good.err;
    EXPECT_NE(good.out.find("5 entries checked, 0 failed"), std::string::npos) << good.out;
}

TEST(ToolCommandsTest, ExtractWritesWhatTheStubWould) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "a.zip", ziptest::build(kEntries).bytes);
    const std::string out = dir / "out";
    EXPECT_EQ(run(tools::runExtract, {"extract", dir / "a.zip", "-d", out, "-q"}).code, 0);
    EXPECT_EQ(filesBelow(out),
              (std::vector<std::string>{"docs/", "docs/a.txt", "docs/b.txt", "top.txt"}));
    // A second run into the same folder renames what is already there, once per top-level name.
    EXPECT_EQ(run(tools::runExtract, {"extract", "-q", dir / "a.zip", "-d", out}).code, 0);
    EXPECT_EQ(filesBelow(out),
              (std::vector<std::string>{"docs/", "docs/a.txt", "docs/b.txt", "docs_1/",
                                        "docs_1/a.txt", "docs_1/b.txt", "top.txt", "top_1.txt"}));
}

TEST(ToolCommandsTest, FailuresGiveTheStubsTextAndExitCodes) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "not.zip", std::string(100, 'x'));
    struct Case {
        std::vector<std::string> words;
        int code;
        std::string err;
    };
    const Case cases[] = {
        {{"extract", dir / "not.zip", "-d", dir / "out"},
         2,
         "Bad format exception: cannot locate the central directory in zip reader.\n"},
        {{"test", dir / "not.zip"},
         2,
         "Bad format exception: cannot locate the central directory in zip reader.\n"},
        {{"list", dir / "not.zip"},
         2,
         "Bad format exception: cannot locate the central directory in zip reader.\n"},
        {{"extract", dataFile("password-secret-izip.zip"), "-d", dir / "pw", "-P", "wrong"},
         2,
         "Password exception: wrong password for empty.txt in zip reader.\n"},
    };
    for (const auto& c : cases) {
        const auto command = c.words[0] == "list"   ? tools::runList
                             : c.words[0] == "test" ? tools::runTest
                                                    : tools::runExtract;
        const Outcome r = run(command, c.words);
        EXPECT_EQ(r.code, c.code) << c.words[0];
        EXPECT_EQ(r.err, c.err) << c.words[0];
    }
}

TEST(ToolCommandsTest, UsageErrorsSayHowToCallTheTool) {
    const std::vector<std::vector<std::string>> wrong = {{"extract"},
                                                         {"extract", "a.zip", "-d"},
                                                         {"extract", "a.zip", "b.zip"},
                                                         {"list", "a.zip", "-q"},
                                                         {"test", "-x", "a.zip"}};
    for (const auto& words : wrong) {
        const auto command = words[0] == "list"   ? tools::runList
                             : words[0] == "test" ? tools::runTest
                                                  : tools::runExtract;
        const Outcome r = run(command, words);
        EXPECT_EQ(r.code, 3) << words.size();
        EXPECT_NE(r.err.find("usage: zipsfx"), std::string::npos) << r.err;
    }
}

TEST(ToolCommandsTest, ACancelStopsTheRunWithExitCodeOne) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "a.zip", ziptest::build(kEntries).bytes);
    tools::requestCancel();
    const Outcome extract = run(tools::runExtract, {"extract", dir / "a.zip", "-d", dir / "out"});
    const Outcome test = run(tools::runTest, {"test", dir / "a.zip"});
    tools::clearCancel();
    EXPECT_EQ(extract.code, 1);
    EXPECT_EQ(extract.err, "");
    EXPECT_FALSE(std::filesystem::exists(dir / "out/top.txt"));
    EXPECT_EQ(test.code, 1);
}

TEST(MakeProgressTest, FilesBytesShareRateAndName) {
    EXPECT_EQ(tools::MakeProgress::text(3, 120, 45200000, 176000000, 2.0, "dist/a.dll"),
              "[3/120] 45.2/176.0 MB 25% 22.6 MB/s dist/a.dll");
    EXPECT_EQ(tools::MakeProgress::text(0, 0, 0, 0, 0.0, ""), "[0/0] 0.0/0.0 MB 100%");
    // A file that grew since it was measured does not take the share past 100%.
    EXPECT_EQ(tools::MakeProgress::text(1, 1, 300, 200, 1.0, "a\rb"),
              "[1/1] 0.0/0.0 MB 100% 0.0 MB/s a\\rb");
    std::ostringstream out;
    {
        tools::ProgressLine line(out, true);
        tools::MakeProgress progress(line, 2, 2000000);
        progress.update(1, "a", 0);
        progress.update(1, "a", 1000000);
        progress.update(2, "b", 500000);
        progress.finish();
    }
    const std::string drawn = out.str();
    EXPECT_EQ(drawn.rfind("\r[1/2] 0.0/2.0 MB 0%", 0), 0u) << drawn;
    EXPECT_NE(drawn.find("\r[2/2] 1.5/2.0 MB 75%"), std::string::npos) << drawn;
    EXPECT_EQ(drawn.back(), '\n');
    std::ostringstream quiet;
    {
        tools::ProgressLine line(quiet, false);
        tools::MakeProgress progress(line, 1, 10);
        progress.update(1, "a", 5);
        progress.finish();
    }
    EXPECT_EQ(quiet.str(), "");
}

TEST(ProgressLineTest, DrawsNameAndShareOnlyWhenEnabled) {
    EXPECT_EQ(tools::ProgressLine::text("a.txt", 50, 200), "a.txt 25%");
    EXPECT_EQ(tools::ProgressLine::text("a.txt", 0, 0), "a.txt 100%");
    EXPECT_EQ(tools::ProgressLine::text("a.txt", 0xFFFFFFFFu, 0xFFFFFFFFu), "a.txt 100%");
    // A name cannot move the cursor or start an escape sequence.
    EXPECT_EQ(tools::ProgressLine::text("a\x1b[2J\rb", 1, 1), "a\\x1b[2J\\rb 100%");
    {
        std::ostringstream out;
        tools::ProgressLine line(out, true);
        line.setTotal(100);
        line.setName("long-name.txt");
        line.setDone(40);
        line.setName("b");
        line.finish();
        EXPECT_EQ(out.str(), "\rlong-name.txt 0%\rlong-name.txt 40%\rb 40%            \n");
    }
    std::ostringstream quiet;
    {
        tools::ProgressLine line(quiet, false);
        line.setName("x");
        line.setDone(1);
    }
    EXPECT_EQ(quiet.str(), "");

    testsupport::TempDir dir;
    testsupport::writeFile(dir / "a.zip", ziptest::build(kEntries).bytes);
    const Outcome onTerminal =
        run(tools::runExtract, {"extract", dir / "a.zip", "-d", dir / "t"}, true);
    EXPECT_NE(onTerminal.err.find("top.txt"), std::string::npos) << onTerminal.err;
    const Outcome quietRun =
        run(tools::runExtract, {"extract", dir / "a.zip", "-d", dir / "q", "-q"}, true);
    EXPECT_EQ(quietRun.err, "");
}
