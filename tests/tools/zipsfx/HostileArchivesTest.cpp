// Hand-made hostile archives run through every program that reads them: `zipsfx extract`,
// `zipsfx test` and the POSIX stub. Each must refuse a whole archive before writing anything,
// or skip an entry with a line and go on, in the same way; no link may lead outside the
// destination.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "format/zip/CentralHeader.h"
#include "format/zip/LocalHeader.h"
#include "sfx/Layout.h"
#include "stream/MemoryStream.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ZipBuilder.h"
#include "tools/zipsfx/Commands.h"
#include "tools/zipsfx/Listing.h"

using ziptest::EntryPlan;

namespace {

namespace fs = std::filesystem;
// Below the destination: a file's contents, "->target" for a link, "" for a folder ("name/").
using Tree = std::map<std::string, std::string>;

constexpr std::uint64_t kTopBit = std::uint64_t(1) << 63;

struct Outcome {
    int code;
    std::string said;  // everything printed, out and err
};

Outcome runCommand(int (*command)(int, char**, const tools::Console&),
                   std::vector<std::string> words) {
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(&word[0]);
    }
    std::ostringstream out;
    std::ostringstream err;
    const tools::Console console{out, err, false};
    const int code = command(static_cast<int>(argv.size()), argv.data(), console);
    return {code, out.str() + err.str()};
}

Tree treeOf(const std::string& folder) {
    Tree tree;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::end(it); ++it) {
        const std::string name = it->path().lexically_relative(folder).generic_string();
        if (it->is_symlink()) {
            tree[name] = "->" + fs::read_symlink(it->path()).string();
        } else if (it->is_directory()) {
            tree[name + "/"] = "";
        } else {
            const auto bytes = testsupport::readFile(it->path().string());
            tree[name] = std::string(bytes.begin(), bytes.end());
        }
    }
    return tree;
}

// Whether any link below folder, followed by the system, ends outside it.
std::string linkLeadingOutside(const std::string& folder) {
    const fs::path inside = fs::canonical(folder);
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::end(it); ++it) {
        if (!it->is_symlink()) {
            continue;
        }
        std::error_code error;
        const fs::path end = fs::weakly_canonical(it->path(), error);
        const std::string relative = end.lexically_relative(inside).generic_string();
        if (!error && (relative.empty() || relative.rfind("..", 0) == 0)) {
            return it->path().string() + " leads to " + end.string();
        }
    }
    return "";
}

// One final stored deflate block holding data.
std::string storedDeflate(const std::string& data) {
    const auto n = static_cast<std::uint16_t>(data.size());
    std::string block = "\x01";
    block += static_cast<char>(n & 0xFF);
    block += static_cast<char>(n >> 8);
    block += static_cast<char>(~n & 0xFF);
    block += static_cast<char>((~n >> 8) & 0xFF);
    return block + data;
}

// A deflated entry of a few bytes that declares `declared` bytes in a Zip64 field of its central
// record; its local header defers to a data descriptor.
EntryPlan declaring(const std::string& name, std::uint64_t declared) {
    EntryPlan e(name, "tiny");
    e.method = 8;
    e.payload = storedDeflate(e.data);
    e.usePayload = true;
    e.descriptor = true;
    e.zip64 = ziptest::kWideUncompressed;
    e.alterCentral = [declared](format::zip::CentralHeader& c) {
        c.extra = ziptest::wideBlock({declared});
    };
    return e;
}

// Sizes in the Zip64 fields of both records: compressed is what the reader is told to read.
EntryPlan wideSizes(const std::string& name, const std::string& data, std::uint64_t compressed) {
    EntryPlan e(name, data);
    const std::uint64_t size = data.size();
    e.alterLocal = [size, compressed](format::zip::LocalHeader& l) {
        l.compressedSize = l.uncompressedSize = 0xFFFFFFFFu;
        l.extra = ziptest::wideBlock({size, compressed});
    };
    e.alterCentral = [size, compressed](format::zip::CentralHeader& c) {
        c.compressedSize = c.uncompressedSize = 0xFFFFFFFFu;
        c.extra = ziptest::wideBlock({size, compressed});
    };
    return e;
}

EntryPlan link(const std::string& name, const std::string& target) {
    EntryPlan e(name, target);
    e.versionMadeBy = 0x031E;  // Unix
    e.externalAttributes = 0120777u << 16;
    return e;
}

// A stored entry's local header and data, as bytes to hide somewhere.
std::string localRecord(const std::string& name, const std::string& data) {
    format::zip::LocalHeader local;
    local.versionNeeded = 20;
    local.crc = algorithm::CRC32::of(data.data(), data.size());
    local.compressedSize = local.uncompressedSize = static_cast<std::uint32_t>(data.size());
    local.name = name;
    stream::MemoryOutput out;
    local.write(out);
    return out.text() + data;
}

struct Case {
    std::string what;
    std::vector<EntryPlan> entries;
    int code;          // of extract and the stub
    std::string said;  // words they print
    Tree tree;         // what they leave
    int testCode;      // of `zipsfx test`
    std::string testSaid;
};

// An archive refused as a whole: exit code 2 and nothing written, by all three.
Case refused(std::string what, std::vector<EntryPlan> entries, std::string said) {
    return {std::move(what), std::move(entries), 2, said, {}, 2, said};
}

class HostileArchives : public ::testing::Test {
  protected:
    // Extract and test; the tree and exit codes are checked here, the stub's run by runStub.
    void runTool(const Case& c) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir;
        const std::string zip = dir / "hostile.zip";
        testsupport::writeFile(zip, ziptest::build(c.entries).bytes);
        const std::string out = dir / "out";
        fs::create_directories(out);

        const Outcome extracted = runCommand(tools::runExtract, {"extract", zip, "-d", out});
        EXPECT_EQ(extracted.code, c.code) << extracted.said;
        EXPECT_NE(extracted.said.find(c.said), std::string::npos) << extracted.said;
        EXPECT_EQ(treeOf(out), c.tree);
        EXPECT_EQ(linkLeadingOutside(out), "");

        const Outcome tested = runCommand(tools::runTest, {"test", zip});
        EXPECT_EQ(tested.code, c.testCode) << tested.said;
        EXPECT_NE(tested.said.find(c.testSaid), std::string::npos) << tested.said;
    }

    void runStub(const Case& c) {
#ifdef _WIN32
        (void)c;
#else
        SCOPED_TRACE(c.what + " (POSIX stub)");
        testsupport::TempDir dir;
        const sfx::Mark mark = sfx::mark();
        const auto stub = testsupport::readFile(stubPath());
        std::string sfxFile(stub.begin(), stub.end());
        sfxFile.append(
            (sfx::kMarkSearchStep - sfxFile.size() % sfx::kMarkSearchStep) % sfx::kMarkSearchStep,
            '\0');
        sfxFile.append(mark.begin(), mark.end());
        sfxFile += ziptest::build(c.entries).bytes;
        const std::string program = dir / "hostile.sfx";
        testsupport::writeFile(program, sfxFile);
        fs::permissions(program, fs::perms::owner_all);
        const std::string out = dir / "out";
        fs::create_directories(out);
        const std::string printed = dir / "printed.txt";
        const int status = std::system(
            ("cd '" + out + "' && '" + program + "' -q </dev/null >'" + printed + "' 2>&1")
                .c_str());
        ASSERT_TRUE(WIFEXITED(status));
        const auto said = testsupport::readFile(printed);
        const std::string text(said.begin(), said.end());
        EXPECT_EQ(WEXITSTATUS(status), c.code) << text;
        EXPECT_NE(text.find(c.said), std::string::npos) << text;
        EXPECT_EQ(treeOf(out), c.tree);
        EXPECT_EQ(linkLeadingOutside(out), "");
#endif
    }

    // The POSIX stub beside the tests' build, or "" when it is not there.
    static std::string stubPath() {
        const char* build = std::getenv("ZIPSFX_BUILD_DIR");
        if (build == nullptr) {
            return "";
        }
        const std::string path = std::string(build) + "/zipsfx-stub";
        return testsupport::fileExists(path) ? path : "";
    }

    static std::vector<Case> refusedCases();
    [[maybe_unused]] static std::vector<Case> linkCases();
};

std::vector<Case> HostileArchives::refusedCases() {
    std::vector<Case> cases;
    {
        // Twenty records whose central sizes are cut short while their local headers, which
        // extraction reads by, each reach over all the records after them.
        std::vector<EntryPlan> entries;
        for (int i = 0; i < 20; ++i) {
            entries.emplace_back("f" + std::to_string(i), std::string(100, 'z'));
            entries.back().alterLocal = [](format::zip::LocalHeader& l) {
                l.compressedSize = l.uncompressedSize = 100 + 20 * 135;
            };
        }
        cases.push_back(refused("central sizes cut short", entries,
                                "the local header of f0 disagrees with the central directory in "
                                "zip reader: compressed size 2800 instead of 100"));
    }
    {
        // Both records agree on a Zip64 size that makes the entry's end wrap round to a small
        // number, before the next entry.
        std::vector<EntryPlan> entries = {wideSizes("a.bin", "aaaa", ~std::uint64_t(0) - 40),
                                          {"b.txt", "bbbb"}};
        cases.push_back(refused("a Zip64 size whose end wraps", entries,
                                "the local header and data of a.bin do not lie before the "
                                "central directory"));
    }
    {
        // The local header defers to a data descriptor; the central size reaches into the next
        // entry, and that is what extraction would read.
        std::vector<EntryPlan> entries = {{"a.txt", "first"}, {"b.txt", "second"}};
        entries[0].descriptor = true;
        entries[0].alterCentral = [](format::zip::CentralHeader& c) { c.compressedSize += 40; };
        cases.push_back(refused(
            "a central size over the next entry", entries,
            "overlapping entries in zip reader: b.txt at offset 56 lies inside a.txt at offset 0"));
    }
    {
        // b.txt's central record points at a copy of its local header and data hidden in the
        // local extra field of a.txt, where a check without the extra field ends a.txt.
        const std::string hidden = localRecord("b.txt", "bee");
        std::string block = "\xFE\xCA";
        block += static_cast<char>(hidden.size() & 0xFF);
        block += static_cast<char>(hidden.size() >> 8);
        block += hidden;
        std::vector<EntryPlan> entries = {{"a.txt", "a"}, {"b.txt", "bee"}};
        entries[0].alterLocal = [block](format::zip::LocalHeader& l) { l.extra = block; };
        const std::uint32_t inExtra = 30 + 5 + 4;
        entries[1].alterCentral = [inExtra](format::zip::CentralHeader& c) {
            c.localHeaderOffset = inExtra;
        };
        cases.push_back(refused("an entry inside another's local extra field", entries,
                                "overlapping entries in zip reader: b.txt at offset 39 lies "
                                "inside a.txt at offset 0"));
    }
    {
        std::vector<EntryPlan> entries = {{"first.txt", "first"}, {"second.txt", "second"}};
        entries[1].localMethod = 8;
        cases.push_back(refused("local method differs", entries,
                                "the local header of second.txt disagrees with the central "
                                "directory in zip reader: method 8 instead of 0"));
    }
    {
        std::vector<EntryPlan> entries = {{"first.txt", "first"}, {"second.txt", "second"}};
        entries[1].alterLocal = [](format::zip::LocalHeader& l) { l.crc ^= 1; };
        cases.push_back(refused("local CRC-32 differs", entries,
                                "the local header of second.txt disagrees with the central "
                                "directory in zip reader: CRC-32"));
    }
    {
        std::vector<EntryPlan> entries = {{"first.txt", "first"}, {"second.txt", "second"}};
        entries[1].alterLocal = [](format::zip::LocalHeader& l) { l.flags |= 1; };
        cases.push_back(refused("local header says encrypted", entries,
                                "the local header of second.txt disagrees with the central "
                                "directory in zip reader: flags 1 instead of 0"));
    }
    {
        // Two declared sizes whose 64-bit sum is 0. Nothing is written, so `zipsfx test` passes;
        // its data would fail, but the free space is judged first.
        std::vector<EntryPlan> entries = {declaring("a.bin", kTopBit), declaring("b.bin", kTopBit)};
        Case c = refused("declared sizes whose sum wraps", entries,
                         "not enough free space in the destination folder");
        c.testCode = 2;
        c.testSaid = "size mismatch";
        cases.push_back(c);
    }
    return cases;
}

[[maybe_unused]] std::vector<Case> HostileArchives::linkCases() {
    std::vector<Case> cases;
    const std::string deep = "a/b/c/d/e/f/g/h/";
    Tree deepFolders;
    for (std::size_t slash = deep.find('/'); slash != std::string::npos;
         slash = deep.find('/', slash + 1)) {
        deepFolders[deep.substr(0, slash + 1)] = "";
    }
    {
        std::vector<EntryPlan> entries = {link("up", std::string("..\0x", 4)),
                                          link("sub/up2", std::string("../..\0y", 7)),
                                          {"a.txt", "a"}};
        cases.push_back({"a NUL in a link target",
                         entries,
                         0,
                         "link target ..\\x00x holds a NUL byte",
                         {{"a.txt", "a"}, {"sub/", ""}},
                         0,
                         "SKIPPED sub/up2: link target ../..\\x00y holds a NUL byte"});
    }
    {
        std::vector<EntryPlan> entries = {link("bs", "..\\..\\etc"), {"a.txt", "a"}};
        cases.push_back({"a backslash in a link target", entries, 0, "holds a backslash",
                         Tree{{"a.txt", "a"}}, 0, "SKIPPED bs: link target ..\\..\\etc holds"});
    }
    // A folder takes the name q, so the link q becomes q_1; a target through q_1 is judged on
    // what q_1 really is, before or after it is made.
    const std::string throughRenamed = deep + "q_1/" + [] {
        std::string up;
        for (int i = 0; i < 9; ++i) {
            up += "../";
        }
        return up;
    }() + "etc/passwd";
    Tree renamed = deepFolders;
    renamed[deep + "q/"] = "";
    renamed[deep + "q_1"] = "->.";
    cases.push_back({"a link made under a renamed name, judged after it",
                     {{deep + "q/", ""}, link(deep + "q", "."), link("esc", throughRenamed)},
                     0,
                     "esc: link target " + throughRenamed + " passes through another link",
                     renamed,
                     0,
                     "SKIPPED esc: link target " + throughRenamed + " passes through " + deep +
                         "q_1, which is no folder"});
    cases.push_back({"a link made under a renamed name, judged before it",
                     {link("esc", throughRenamed), {deep + "q/", ""}, link(deep + "q", ".")},
                     0,
                     "esc: link target " + throughRenamed + " passes through " + deep +
                         "q_1, which is no folder",
                     renamed,
                     0,
                     "SKIPPED esc: link target " + throughRenamed + " passes through " + deep +
                         "q_1, which is no folder"});
    cases.push_back({"a target through another link of the archive",
                     {{"d/t.txt", "t"},
                      link("d/good", "t.txt"),
                      link("d/self", "."),
                      link("chain", "d/self/../../x")},
                     0,
                     "chain: link target d/self/../../x passes through another link",
                     {{"d/", ""}, {"d/t.txt", "t"}, {"d/good", "->t.txt"}, {"d/self", "->."}},
                     0,
                     "SKIPPED chain: link target d/self/../../x passes through another link"});
    cases.push_back({"a link target too long to be a path",
                     {link("long", std::string(5000, 'a')), {"after.txt", "after"}},
                     0,
                     "long: link target is too long (5000 bytes)",
                     {{"after.txt", "after"}},
                     0,
                     "SKIPPED long: link target is too long (5000 bytes)"});
    return cases;
}

}  // namespace

TEST_F(HostileArchives, RefusedAsAWholeBeforeAnythingIsWritten) {
    for (const Case& c : refusedCases()) {
        runTool(c);
    }
}

TEST_F(HostileArchives, RefusedAsAWholeByThePosixStubToo) {
#ifdef _WIN32
    GTEST_SKIP() << "the POSIX stub runs on POSIX systems only";
#else
    if (stubPath().empty()) {
        GTEST_SKIP() << "no POSIX stub beside the tests (ZIPSFX_BUILD_DIR/zipsfx-stub)";
    }
    for (const Case& c : refusedCases()) {
        runStub(c);
    }
#endif
}

#ifndef _WIN32
TEST_F(HostileArchives, LinksLeadingOutsideAreSkippedAndTheRestExtracts) {
    for (const Case& c : linkCases()) {
        runTool(c);
    }
}

TEST_F(HostileArchives, LinksLeadingOutsideAreSkippedByThePosixStubToo) {
    if (stubPath().empty()) {
        GTEST_SKIP() << "no POSIX stub beside the tests (ZIPSFX_BUILD_DIR/zipsfx-stub)";
    }
    for (const Case& c : linkCases()) {
        runStub(c);
    }
}
#endif

TEST(HostileListingTest, DeclaredTotalsStopAtTheLargestValueInsteadOfWrapping) {
    testsupport::TempDir dir;
    const std::string zip = dir / "wrapping.zip";
    testsupport::writeFile(
        zip, ziptest::build({declaring("a.bin", kTopBit), declaring("b.bin", kTopBit)}).bytes);
    std::ostringstream out;
    tools::printListing(out, tools::listArchive(zip, 0));
    EXPECT_NE(out.str().find("18446744073709551615"), std::string::npos) << out.str();
}
