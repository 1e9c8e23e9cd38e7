// Archives and destinations built to mislead: what the central directory declares is what is
// written, or nothing is; nothing is written through a link or over a file; two runs into one
// folder lose nothing and mix nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

#include "format/zip/ZipReader.h"
#include "platform/FileSystem.h"
#include "tests/support/ZipBuilder.h"
#include "tests/format/zip/ZipTestSupport.h"

using ziptest::build;
using ziptest::EntryPlan;
using ziptest::Extraction;

namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

// One final stored deflate block: what a deflate stream holding `data` may look like.
std::string storedDeflate(const std::string& data) {
    const auto n = static_cast<std::uint16_t>(data.size());
    std::string block = "\x01";
    block += static_cast<char>(n & 0xFF);
    block += static_cast<char>(n >> 8);
    block += static_cast<char>(~n & 0xFF);
    block += static_cast<char>((~n >> 8) & 0xFF);
    return block + data;
}

// A deflated entry whose data holds `actual` bytes while both of its records declare `declared`.
EntryPlan sizeLie(const std::string& name, std::size_t actual, std::size_t declared) {
    EntryPlan e(name, std::string(actual, 'z'));
    e.method = 8;
    e.payload = storedDeflate(e.data);
    e.usePayload = true;
    e.descriptor = true;  // the local sizes are zeros: the central record alone declares
    e.alterCentral = [declared](format::zip::CentralHeader& c) {
        c.uncompressedSize = static_cast<std::uint32_t>(declared);
    };
    return e;
}

}  // namespace

TEST(HostileArchiveTest, RefusedEntriesWriteNothingOfThemselves) {
    struct Case {
        std::string what;
        std::vector<EntryPlan> entries;
        std::string message;  // the start of the failure's text
        Tree written;         // what stays: entries before the refused one, or nothing
    };
    std::vector<Case> cases;
    {
        // Two central records sharing one local header and its data: refused as a whole, before
        // the first byte is written.
        std::vector<EntryPlan> entries = {{"a.txt", "shared bytes"}, {"a.txt", "shared bytes"}};
        entries[1].alterCentral = [](format::zip::CentralHeader& c) { c.localHeaderOffset = 0; };
        cases.push_back({"overlapping entries",
                         entries,
                         "Bad format exception: overlapping entries in zip reader",
                         {}});
    }
    {
        std::vector<EntryPlan> entries = {{"a.txt", "first"}};
        entries.push_back(sizeLie("long.bin", 100, 10));
        cases.push_back({"data longer than declared",
                         entries,
                         "Bad data exception: size mismatch in zip reader: the data is longer",
                         {{"a.txt", "first"}}});
    }
    {
        std::vector<EntryPlan> entries = {{"a.txt", "first"}};
        entries.push_back(sizeLie("short.bin", 10, 100));
        cases.push_back({"data shorter than declared",
                         entries,
                         "Bad data exception: size mismatch in zip reader: the data ends after 10",
                         {{"a.txt", "first"}}});
    }
    {
        // list and test would show readme.txt; the local header says setup.sh. Every local
        // header is read before anything is written: the whole archive is refused.
        std::vector<EntryPlan> entries = {{"a.txt", "first"}, {"setup.sh", "#!/bin/sh\n"}};
        entries[1].alterCentral = [](format::zip::CentralHeader& c) { c.name = "readme.txt"; };
        cases.push_back({"local and central names differ",
                         entries,
                         "Bad format exception: local header names another entry",
                         {}});
    }
    {
        std::vector<EntryPlan> entries = {{"a.txt", "first"}, {"thing", "data"}};
        entries[1].alterCentral = [](format::zip::CentralHeader& c) { c.name = "thing/"; };
        cases.push_back({"a file locally, a folder centrally",
                         entries,
                         "Bad format exception: local header names another entry",
                         {}});
    }
    for (const Case& c : cases) {
        Extraction x(build(c.entries).bytes);
        const std::string failure = x.run();
        EXPECT_EQ(failure.rfind(c.message, 0), 0u) << c.what << ": " << failure;
        EXPECT_EQ(x.tree(), c.written) << c.what;
    }
}

TEST(HostileArchiveTest, ALargeDeclaredTotalIsRefusedBeforeWritingWithBothNumbers) {
    // Ratio is no reason to refuse: 2 GiB declared by a tiny deflate stream is fine where it
    // fits. What cannot fit on the destination's file system is refused up front.
    std::uint64_t free = 0;
    ASSERT_TRUE(platform::freeSpace(fs::temp_directory_path().string(), free));
    std::vector<EntryPlan> entries;
    const std::uint64_t each = 0xFFFFFFF0u;
    const std::size_t count = static_cast<std::size_t>(free / each + 2);
    if (count > 60000) {
        GTEST_SKIP() << "the temporary folder's file system is too large to fill by declaration";
    }
    for (std::size_t i = 0; i < count; ++i) {
        entries.push_back(sizeLie("f" + std::to_string(i), 1, each));
    }
    Extraction x(build(entries).bytes);
    const std::string failure = x.run();
    EXPECT_NE(failure.find("not enough free space"), std::string::npos) << failure;
    EXPECT_NE(failure.find(std::to_string(each * count) + " bytes"), std::string::npos) << failure;
    EXPECT_TRUE(x.tree().empty());
}

#ifndef _WIN32
TEST(HostileArchiveTest, LinksPlantedInTheDestinationAreNeverFollowed) {
    testsupport::TempDir outside;
    const std::string dangling = outside / "created-outside.txt";
    const std::string folder = outside / "folder";
    fs::create_directories(folder);

    std::vector<EntryPlan> entries = {{"a.txt", "archive's a"}, {"docs/b.txt", "archive's b"}};
    Extraction x(build(entries).bytes);
    fs::create_symlink(dangling, fs::path(x.out()) / "a.txt");
    fs::create_directory_symlink(folder, fs::path(x.out()) / "docs");
    EXPECT_EQ(x.run(), "");

    EXPECT_FALSE(fs::exists(fs::symlink_status(dangling))) << "written through a dangling link";
    EXPECT_TRUE(fs::is_empty(folder)) << "written through a link to a folder";
    EXPECT_EQ(testsupport::readFile(x.out() + "/a_1.txt"), testsupport::bytes("archive's a"));
    EXPECT_EQ(testsupport::readFile(x.out() + "/docs_1/b.txt"), testsupport::bytes("archive's b"));
}
#endif

TEST(HostileArchiveTest, FoldersThisRunMadeAreUsedAgainNotRenamed) {
    std::vector<EntryPlan> entries = {{"a/sub/x.txt", "x"}, {"a/", ""},     {"a/sub/", ""},
                                      {"a/", ""},           {"b.txt", "b"}, {"a/sub/y.txt", "y"}};
    Extraction x(build(entries).bytes);
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), (Tree{{"a/", ""},
                              {"a/sub/", ""},
                              {"a/sub/x.txt", "x"},
                              {"a/sub/y.txt", "y"},
                              {"b.txt", "b"}}));
}

TEST(HostileArchiveTest, TwoRunsIntoOneFolderAtOnceLoseNothingAndMixNothing) {
    // Both archives hold the same names; each file must end up complete, under its own name or
    // a numbered one, and every file of both runs must be there.
    constexpr int kFiles = 300;
    const auto make = [&](char tag) {
        std::vector<EntryPlan> entries;
        for (int i = 0; i < kFiles; ++i) {
            entries.push_back({"f" + std::to_string(i) + ".txt",
                               std::string(1, tag) + std::to_string(i) + std::string(2000, tag)});
        }
        return build(entries).bytes;
    };
    testsupport::TempDir dir;
    const std::string out = dir / "out";
    fs::create_directories(out);
    const auto extract = [&](const std::string& bytes, std::string& result) {
        Extraction x(bytes);
        x.archive().setDestinationFolder(out);
        result = x.run();
    };
    std::string first;
    std::string second;
    const std::string a = make('A');
    const std::string b = make('B');
    std::thread one([&] { extract(a, first); });
    std::thread two([&] { extract(b, second); });
    one.join();
    two.join();
    EXPECT_EQ(first, "");
    EXPECT_EQ(second, "");

    std::set<std::string> contents;
    std::size_t files = 0;
    for (const auto& item : fs::directory_iterator(out)) {
        const auto bytes = testsupport::readFile(item.path().string());
        contents.insert(std::string(bytes.begin(), bytes.end()));
        ++files;
    }
    EXPECT_EQ(files, 2u * kFiles);
    for (char tag : {'A', 'B'}) {
        for (int i = 0; i < kFiles; ++i) {
            const std::string whole =
                std::string(1, tag) + std::to_string(i) + std::string(2000, tag);
            EXPECT_EQ(contents.count(whole), 1u) << "missing or mixed: " << tag << i;
        }
    }
}
