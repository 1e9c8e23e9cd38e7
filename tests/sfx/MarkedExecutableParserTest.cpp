#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "sfx/Layout.h"
#include "sfx/MarkedExecutableParser.h"
#include "base/Exception.h"
#include "tests/support/TestSupport.h"

namespace {

using app::MarkedExecutableParser;
using testsupport::TempDir;

std::vector<std::uint8_t> filler(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return data;
}

void putMark(std::vector<std::uint8_t>& data, std::size_t at, std::size_t length = sfx::kMarkSize) {
    auto m = sfx::mark();
    if (data.size() < at + length) {
        data.resize(at + length);
    }
    std::copy(m.begin(), m.begin() + static_cast<long>(length),
              data.begin() + static_cast<long>(at));
}

std::uint32_t offsetOf(const std::vector<std::uint8_t>& data) {
    TempDir dir;
    std::string path = dir / "sfx.bin";
    testsupport::writeFile(path, data);
    MarkedExecutableParser parser(path);
    std::uint32_t offset = parser.archiveOffset();
    EXPECT_EQ(parser.archiveOffset(), offset);  // may be asked any number of times
    parser.close();
    return offset;
}

TEST(MarkedExecutableParser, MarkBytesAreTheFormatConstant) {
    const std::uint8_t expected[32] = {0x9a, 0xc1, 0x89, 0xe7, 0x33, 0x0e, 0x26, 0xc6,
                                       0x16, 0x70, 0xd8, 0x4c, 0xb1, 0x54, 0xf5, 0x10,
                                       0x7e, 0xfb, 0x24, 0xda, 0xbd, 0x4c, 0x11, 0x80,
                                       0x0a, 0xba, 0xaa, 0xf2, 0x50, 0xc4, 0x28, 0xd7};
    auto m = sfx::mark();
    EXPECT_TRUE(std::equal(m.begin(), m.end(), expected));
}

TEST(MarkedExecutableParser, FindsTheMarkOnlyAtMultiplesOf512BelowTheLimit) {
    struct Case {
        const char* what;
        std::size_t size;
        std::vector<std::size_t> marks;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"mark at 0", 2000, {0}, 32},
        {"mark at 512", 2000, {512}, 544},
        {"mark at 512*k", 70144 + 1000, {70144}, 70176},
        {"first of two marks", 8000, {1536, 4096}, 1568},
        {"mark off the grid", 4000, {700}, 32},
        {"mark one byte late", 4000, {513}, 32},
        {"no mark", 3001, {}, 32},
        {"last slot below the limit", 0x80000 + 100, {0x80000 - 512}, 0x80000 - 512 + 32},
        {"mark at the limit", 0x80000 + 100, {0x80000}, 32},
        {"mark beyond the limit", 0x80000 + 2000, {0x80000 + 512}, 32},
    };
    for (const auto& c : cases) {
        auto data = filler(c.size);
        for (auto at : c.marks) {
            putMark(data, at);
        }
        EXPECT_EQ(offsetOf(data), c.expected) << c.what;
    }
}

TEST(MarkedExecutableParser, MarkCutOffByTheEndIsNotFound) {
    // Sizes that are not multiples of 512, with a partial mark in the last slot: nothing past the
    // end of the mapping may be read (the sanitizer build checks that too).
    for (std::size_t partial : {1u, 16u, 31u}) {
        auto data = filler(1024);
        putMark(data, 1024, partial);
        ASSERT_EQ(data.size(), 1024 + partial);
        EXPECT_EQ(offsetOf(data), 32u) << partial;
    }
    auto exact = filler(1024);
    putMark(exact, 1024);
    EXPECT_EQ(offsetOf(exact), 1056u);
    // A file shorter than a mark.
    EXPECT_EQ(offsetOf(filler(5)), 32u);
}

TEST(MarkedExecutableParser, UnopenableOrEmptyFileThrows) {
    TempDir dir;
    std::string empty = dir / "empty.exe";
    testsupport::writeFile(empty, std::vector<std::uint8_t>());
    for (const std::string& path : {dir / "missing.exe", empty, dir.path()}) {
        try {
            MarkedExecutableParser parser(path);
            FAIL() << "no exception for " << path;
        } catch (const generic::exception& e) {
            EXPECT_EQ(e.kind(), "MarkedExecutableParser");
            EXPECT_EQ(e.message(), "cannot open the executable");
        }
    }
}

// Files larger than the view, and than 4 GiB: made sparse (the tail is a hole), so that they cost
// no disk space. A 32-bit build must open them, map only their start and keep their sizes whole.
TEST(MarkedExecutableParser, FilesLargerThanTheViewAndThan4GiB) {
    const std::uint64_t past4GiB = (std::uint64_t(1) << 32) + 4096 + 5;
    const std::uint64_t pastView = platform::MappedFile::kViewLimit + 12345;
    // A PE whose security directory names a table beyond the view but inside the file.
    auto signedPe = filler(4096);
    const std::uint32_t table = static_cast<std::uint32_t>(platform::MappedFile::kViewLimit) + 512;
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            signedPe[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    signedPe[0] = 'M';
    signedPe[1] = 'Z';
    put32(0x3C, 0x80);
    put32(0x80, 0x00004550);
    signedPe[0x80 + 20] = 92 + 4 + 16 * 8;  // the optional header's size
    signedPe[0x80 + 21] = 0;
    signedPe[0x80 + 24] = 0x0B;  // PE32
    signedPe[0x80 + 25] = 0x01;
    put32(0x80 + 24 + 92, 16);  // directories
    put32(0x80 + 24 + 96 + 4 * 8, table);
    put32(0x80 + 24 + 96 + 4 * 8 + 4, 2000);
    putMark(signedPe, 1024);
    auto unsignedFile = filler(4096);
    putMark(unsignedFile, 1536);

    const struct {
        const char* what;
        std::vector<std::uint8_t> start;
        std::uint64_t size;
        std::uint32_t offset;
        std::uint64_t end;
    } cases[] = {
        {"past 4 GiB, unsigned", unsignedFile, past4GiB, 1568, MarkedExecutableParser::kToEnd},
        {"past the view, signed", signedPe, pastView, 1056, table},
        {"past 4 GiB, signed", signedPe, past4GiB, 1056, table},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir / "large.exe";
        testsupport::writeFile(path, c.start);
        std::error_code error;
        std::filesystem::resize_file(std::filesystem::u8path(path), c.size, error);
        if (error) {
            GTEST_SKIP() << "cannot make a sparse file of " << c.size
                         << " bytes: " << error.message();
        }
        MarkedExecutableParser parser(path);
        EXPECT_EQ(parser.archiveOffset(), c.offset) << c.what;
        EXPECT_EQ(parser.archiveEnd(), c.end) << c.what;
        EXPECT_EQ(parser.isSigned(), c.end != MarkedExecutableParser::kToEnd) << c.what;
        parser.close();
    }
}

}  // namespace
