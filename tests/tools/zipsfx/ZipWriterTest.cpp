#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "base/Exception.h"
#include "tests/support/TestSupport.h"
#include "archive/Archive.h"
#include "format/zip/ExtraFields.h"
#include "format/zip/ZipReader.h"
#include "tools/zipsfx/ZipWriter.h"
#include "tests/support/ZipCheck.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::writeFile;

std::vector<std::uint8_t> noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> data(size);
    for (auto& b : data) {
        b = static_cast<std::uint8_t>(random());
    }
    return data;
}

std::string lines(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += "line " + std::to_string(i) + " of a text that deflate shrinks well\n";
    }
    return text;
}

std::uint32_t crcOf(const std::vector<std::uint8_t>& data) {
    return static_cast<std::uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
}

// A small tree with the shapes that matter: nesting, an empty folder, an empty file, a file that
// shrinks and one that does not, a name with blanks.
struct Tree {
    TempDir dir;
    std::string root = dir / "tree";
    Tree() {
        fs::create_directories(root + "/sub/with blank");
        fs::create_directories(root + "/empty");
        writeFile(root + "/text.txt", lines(2000));
        writeFile(root + "/sub/empty.bin", std::string());
        writeFile(root + "/sub/with blank/noise.bin", noise(100000, 1));
    }
};

// Zips the inputs into a file of its own, behind `prefix` bytes of something else.
std::string zipTo(const std::string& path, const std::vector<std::string>& inputs, int level,
                  std::size_t prefix = 0, tools::Method method = tools::Method::Deflate) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    file << std::string(prefix, 'x');
    std::ostringstream log;
    tools::ZipWriter writer(file, level, nullptr);
    writer.setMethod(method);
    for (const auto& source : tools::collectSources(inputs, log)) {
        writer.add(source);
    }
    writer.finish();
    std::uint64_t end = writer.end();
    file.close();
    fs::resize_file(path, end);
    return log.str();
}

const format::zip::CentralHeader& entry(const testsupport::ZipDirectory& zip,
                                        const std::string& name) {
    for (const auto& e : zip.entries) {
        if (e.name == name) {
            return e;
        }
    }
    throw std::runtime_error("no entry " + name);
}

TEST(ZipWriter, WritesTheTreeAsTheStubExpectsIt) {
    Tree tree;
    const std::string zip = tree.dir / "out.zip";
    zipTo(zip, {tree.root}, 6, 1000);
    ASSERT_NO_THROW(testsupport::verifyArchive(zip, 1000));
    auto directory = testsupport::readZipDirectory(zip, 1000);
    std::vector<std::string> names;
    for (const auto& e : directory.entries) {
        names.push_back(e.name);
        EXPECT_EQ(e.versionNeeded, 20);
        EXPECT_EQ(e.flags, 0);  // no data descriptors, no encryption
#ifdef _WIN32
        EXPECT_EQ(e.versionMadeBy, 20);
#else
        EXPECT_EQ(e.versionMadeBy, (3 << 8) | 20);
#endif
    }
    EXPECT_EQ(names, (std::vector<std::string>{"tree/", "tree/empty/", "tree/sub/",
                                               "tree/sub/empty.bin", "tree/sub/with blank/",
                                               "tree/sub/with blank/noise.bin", "tree/text.txt"}));
    const auto& folder = entry(directory, "tree/empty/");
    EXPECT_EQ(folder.method, 0);
    EXPECT_EQ(folder.uncompressedSize, 0u);
    EXPECT_EQ(folder.externalAttributes & 0x10, 0x10u);
    const auto& text = entry(directory, "tree/text.txt");
    EXPECT_EQ(text.method, 8);
    EXPECT_LT(text.compressedSize, text.uncompressedSize / 4);
    EXPECT_EQ(text.crc, crcOf(testsupport::bytes(lines(2000))));
    const auto& random = entry(directory, "tree/sub/with blank/noise.bin");
    EXPECT_EQ(random.method, 0);  // deflate did not pay
    EXPECT_EQ(random.compressedSize, 100000u);
    EXPECT_EQ(random.crc, crcOf(noise(100000, 1)));
    const auto& empty = entry(directory, "tree/sub/empty.bin");
    EXPECT_EQ(empty.method, 0);
    EXPECT_EQ(empty.compressedSize, 0u);
#ifndef _WIN32
    EXPECT_EQ(text.externalAttributes >> 16 & 0170000, 0100000u);
    EXPECT_EQ(folder.externalAttributes >> 16 & 0170000, 0040000u);
    fs::perms mode = fs::status(tree.root + "/text.txt").permissions();
    EXPECT_EQ(text.externalAttributes >> 16 & 0777, static_cast<unsigned>(mode & fs::perms::mask));
#endif
    // Offsets count from the writer's first byte, not from the file's.
    EXPECT_EQ(directory.entries[0].localHeaderOffset, 0u);
}

TEST(ZipWriter, LevelZeroStoresEverythingAndLeftoversAreCut) {
    Tree tree;
    const std::string stored = tree.dir / "stored.zip";
    zipTo(stored, {tree.root}, 0);
    auto directory = testsupport::readZipDirectory(stored, 0);
    for (const auto& e : directory.entries) {
        EXPECT_EQ(e.method, 0) << e.name;
        EXPECT_EQ(e.compressedSize, e.uncompressedSize);
    }
    ASSERT_NO_THROW(testsupport::verifyArchive(stored, 0));
    // The random file is deflated first and then stored over: the archive ends at its end record.
    const std::string restored = tree.dir / "restored.zip";
    zipTo(restored, {tree.root + "/sub"}, 9);
    ASSERT_NO_THROW(testsupport::verifyArchive(restored, 0));
    auto bytes = testsupport::readFile(restored);
    ASSERT_GE(bytes.size(), 22u);
    EXPECT_EQ(bytes[bytes.size() - 22], 0x50);
    EXPECT_EQ(bytes[bytes.size() - 19], 0x06);
}

TEST(ZipWriter, LzmaEntriesOfEverySizeReadBackThroughTheReader) {
    if (!tools::methodAvailable(tools::Method::Lzma)) {
        GTEST_SKIP() << "this build of the tool has no LZMA compressor";
    }
    TempDir dir;
    const std::string root = dir / "in";
    fs::create_directories(root);
    // Around the smallest dictionary (4 KB) and the decoder's output pieces (256 KB); the
    // stream has no end marker, so the size alone must end each.
    const std::size_t sizes[] = {1, 2, 4095, 4096, 4097, 262143, 262144, 300001};
    for (std::size_t size : sizes) {
        std::string text = lines(size / 40 + 1);
        text.resize(size);
        writeFile(root + "/t" + std::to_string(size), text);
    }
    writeFile(root + "/empty", std::string());
    writeFile(root + "/noise", noise(70000, 3));
    for (int level : {0, 6, 9}) {
        SCOPED_TRACE("level " + std::to_string(level));
        const std::string zip = dir / ("lzma" + std::to_string(level) + ".zip");
        zipTo(zip, {root}, level, 100, tools::Method::Lzma);
        ASSERT_NO_THROW(testsupport::verifyArchive(zip, 100));
        for (const auto& e : testsupport::readZipDirectory(zip, 100).entries) {
            // Folders, the empty file, noise and the smallest texts do not shrink: stored, with
            // the classic version.
            const bool shrinks = e.uncompressedSize >= 4095 && e.name != "in/noise";
            if (!shrinks) {
                EXPECT_EQ(e.method, 0) << e.name;
                EXPECT_EQ(e.versionNeeded, 20) << e.name;
                continue;
            }
            EXPECT_EQ(e.method, 14) << e.name;
            EXPECT_EQ(e.versionNeeded, 63) << e.name;
            EXPECT_EQ(e.flags & 0x02, 0) << e.name;  // no end marker
            EXPECT_LT(e.compressedSize, e.uncompressedSize) << e.name;
        }
    }
}

TEST(ZipWriter, StoreMethodStoresWhatWouldShrink) {
    Tree tree;
    const std::string zip = tree.dir / "store.zip";
    zipTo(zip, {tree.root}, 9, 0, tools::Method::Store);
    for (const auto& e : testsupport::readZipDirectory(zip, 0).entries) {
        EXPECT_EQ(e.method, 0) << e.name;
    }
    ASSERT_NO_THROW(testsupport::verifyArchive(zip, 0));
}

TEST(ZipWriter, InputsAreNamedByTheirLastComponent) {
    Tree tree;
    std::ostringstream log;
    auto sources = tools::collectSources(
        {tree.root + "/sub/", tree.root + "/text.txt", tree.root + "/sub/with blank/../empty.bin"},
        log);
    std::vector<std::string> names;
    for (const auto& s : sources) {
        names.push_back(s.name);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"sub/", "sub/empty.bin", "sub/with blank/",
                                        "sub/with blank/noise.bin", "text.txt", "empty.bin"}));
}

TEST(ZipWriter, RefusesInputsItCannotName) {
    Tree tree;
    fs::create_directories(tree.dir / "other");
    writeFile(tree.dir / "other/text.txt", "x");
    const std::vector<std::vector<std::string>> cases = {
        {tree.dir / "missing"},
        {tree.root + "/text.txt", tree.dir / "other/text.txt"},  // the same name twice
        {tree.root, tree.root},
        {fs::path(tree.root).root_path().string()},
    };
    for (const auto& inputs : cases) {
        SCOPED_TRACE(inputs[0]);
        std::ostringstream log;
        EXPECT_THROW(tools::collectSources(inputs, log), generic::exception);
    }
}

TEST(ZipWriter, NamesAreUtf8AndMarkedSoUnlessAscii) {
    TempDir dir;
    const fs::path root = fs::path(dir.path()) / "names";
    const std::vector<std::string> names = {"caf\xc3\xa9.txt", "e\xcc\x81 \xf0\x9f\x98\x80.txt",
                                            "plain.txt"};
    fs::create_directories(root);
    for (const std::string& name : names) {
        std::ofstream(root / fs::u8path(name)) << name;
    }
    const std::string zip = dir / "names.zip";
    zipTo(zip, {root.string()}, 6);
    ASSERT_NO_THROW(testsupport::verifyArchive(zip, 0));
    const auto directory = testsupport::readZipDirectory(zip, 0);
    EXPECT_EQ(entry(directory, "names/").flags, 0);
    EXPECT_EQ(entry(directory, "names/plain.txt").flags, 0);
    EXPECT_EQ(entry(directory, "names/" + names[0]).flags, 0x0800);
    EXPECT_EQ(entry(directory, "names/" + names[1]).flags, 0x0800);
}

#ifndef _WIN32
TEST(ZipWriter, RefusesANameThatIsNotUtf8NamingTheFile) {
    TempDir dir;
    fs::create_directories(dir / "tree");
    writeFile(dir / "tree/ok.txt", "x");
    writeFile(dir / "tree/latin1-caf\xe9.txt", "x");
    std::ostringstream log;
    try {
        tools::collectSources({dir / "tree"}, log);
        ADD_FAILURE() << "a name that is not UTF-8 was taken";
    } catch (const generic::exception& e) {
        const std::string message = generic::describe(e);
        EXPECT_NE(message.find("latin1-caf\xef\xbf\xbd.txt' is not valid UTF-8"), std::string::npos)
            << message;
    }
}

TEST(ZipWriter, FollowsLinksToFilesAndSkipsOthers) {
    Tree tree;
    fs::create_symlink("text.txt", tree.root + "/link.txt");
    fs::create_directory_symlink("sub", tree.root + "/loop");
    fs::create_symlink("nowhere", tree.root + "/dangling");
    std::ostringstream log;
    auto sources = tools::collectSources({tree.root}, log);
    std::vector<std::string> names;
    for (const auto& s : sources) {
        names.push_back(s.name);
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "tree/link.txt"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "tree/loop/"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "tree/dangling"), names.end());
    EXPECT_NE(log.str().find("loop"), std::string::npos);
    EXPECT_NE(log.str().find("dangling"), std::string::npos);
}

// Peers must read what we write. Info-ZIP and 7-Zip are optional on a build machine.
TEST(ZipWriter, PeersAcceptTheArchive) {
    Tree tree;
    const std::string zip = tree.dir / "peer.zip";
    zipTo(zip, {tree.root}, 9);
    bool any = false;
    if (std::system("unzip -v >/dev/null 2>&1") == 0) {
        any = true;
        EXPECT_EQ(std::system(("unzip -tq '" + zip + "' >/dev/null").c_str()), 0);
        TempDir out;
        ASSERT_EQ(std::system(("unzip -q '" + zip + "' -d '" + out.path() + "'").c_str()), 0);
        EXPECT_EQ(testsupport::readFile(out / "tree/sub/with blank/noise.bin"), noise(100000, 1));
        EXPECT_TRUE(fs::is_directory(out / "tree/empty"));
    }
    if (std::system("7z >/dev/null 2>&1") == 0) {
        any = true;
        EXPECT_EQ(std::system(("7z t '" + zip + "' >/dev/null").c_str()), 0);
    }
    if (!any) {
        GTEST_SKIP() << "neither unzip nor 7z is installed";
    }
}
#endif

TEST(ZipWriter, DosTimes) {
    auto local = [](int year, int month, int day, int hour, int minute, int second) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        t.tm_isdst = -1;
        return static_cast<std::int64_t>(std::mktime(&t));
    };
    auto dos = [](int year, int month, int day, int hour, int minute, int second) {
        return std::uint32_t(year - 1980) << 25 |
               std::uint32_t(month << 21 | day << 16 | hour << 11 | minute << 5 | second / 2);
    };
    struct Case {
        std::int64_t time;
        std::uint32_t expected;
    };
    std::vector<Case> cases = {
        {local(2024, 2, 29, 13, 45, 30), dos(2024, 2, 29, 13, 45, 30)},
        {local(2024, 2, 29, 13, 45, 31), dos(2024, 2, 29, 13, 45, 32)},  // odd seconds round up
        {local(1999, 12, 31, 23, 59, 59), dos(2000, 1, 1, 0, 0, 0)},     // ... across a year
        {local(1980, 1, 1, 0, 0, 0), dos(1980, 1, 1, 0, 0, 0)},
        {local(1979, 6, 1, 12, 0, 0), dos(1980, 1, 1, 0, 0, 0)},  // before DOS time: its start
    };
    // A 32-bit time_t (i386 Linux; Windows has a 64-bit one) cannot hold a moment past 2038.
    const bool wideTime = sizeof(std::time_t) >= 8;
    if (wideTime) {
        cases.push_back({local(2110, 6, 1, 12, 0, 0), dos(2107, 12, 31, 23, 59, 58)});  // its end
    }
    for (const Case& c : cases) {
        EXPECT_EQ(tools::toDosDateTime(c.time), c.expected) << c.time;
    }
    if (!wideTime) {
        GTEST_SKIP() << "a time after DOS time (2110) needs a 64-bit time_t";
    }
}

}  // namespace

namespace {

TEST(ZipWriter, CollectsFilesOf4GiBAndMore) {
    TempDir dir;
    // Sparse files: the size is what counts, and none of it is written or read.
    for (std::uint64_t size : {0x100000000ull, 0xFFFFFFFFull}) {
        const std::string path = dir / "huge.bin";
        { std::ofstream create(path, std::ios::binary); }
        fs::resize_file(path, size);
        std::ostringstream log;
        EXPECT_EQ(tools::collectSources({path}, log).size(), 1u) << size;
    }
}

TEST(ZipWriter, SmallArchivesStayClassicAndEveryEntryCarriesItsExactTime) {
    TempDir dir;
    fs::create_directories(dir / "t");
    writeFile((fs::path(dir / "t") / "a.txt").string(), "exact");
    std::ostringstream log;
    const auto sources = tools::collectSources({dir / "t"}, log);
    {
        std::fstream file(dir / "t.zip",
                          std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
        tools::ZipWriter writer(file, 6, nullptr);
        for (const auto& source : sources) {
            writer.add(source);
        }
        writer.finish();
    }
    const auto directory = testsupport::readZipDirectory(dir / "t.zip", 0);
    ASSERT_EQ(directory.entries.size(), 2u);
    for (const auto& entry : directory.entries) {
        EXPECT_EQ(entry.versionNeeded, 20) << entry.name;
        std::string data;
        EXPECT_FALSE(format::zip::findExtraBlock(entry.extra, 0x0001, data)) << entry.name;
        ASSERT_TRUE(format::zip::findExtraBlock(entry.extra, 0x5455, data)) << entry.name;
        ASSERT_EQ(data.size(), 5u);
        std::uint64_t ticks = 0;
        ASSERT_TRUE(format::zip::exactModificationTime(entry.extra, ticks));
        // Written just now, in UTC whatever the zone.
        const auto seconds = static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
        EXPECT_LT(std::llabs(seconds - static_cast<std::int64_t>(std::time(nullptr))), 120)
            << entry.name;
    }
    testsupport::verifyArchive(dir / "t.zip", 0);
}

TEST(ZipWriter, MoreEntriesThanTheEndRecordCountsGoToTheZip64EndRecord) {
    TempDir dir;
    fs::create_directories(dir / "f");
    constexpr std::uint64_t kCount = 70000;
    {
        std::fstream file(dir / "many.zip",
                          std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
        tools::ZipWriter writer(file, 6, nullptr);
        for (std::uint64_t i = 0; i < kCount; ++i) {
            writer.add({dir / "f", "f" + std::to_string(i) + "/", true});
        }
        writer.finish();
    }
    const std::vector<std::uint8_t> bytes = testsupport::readFile(dir / "many.zip");
    ASSERT_GE(bytes.size(), 22u + 20u + 56u);
    EXPECT_EQ(bytes[bytes.size() - 12], 0xFF);  // total entries: see the Zip64 record
    EXPECT_EQ(bytes[bytes.size() - 11], 0xFF);
    vessel5::Archive archive;
    archive.open(dir / "many.zip");
    archive.scan();
    auto* reader = dynamic_cast<format::zip::ZipReader*>(archive.reader());
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(reader->isZip64());
    ASSERT_EQ(reader->entries().size(), kCount);
    EXPECT_EQ(reader->entries().back().name, "f69999/");
    archive.close();
}

}  // namespace
