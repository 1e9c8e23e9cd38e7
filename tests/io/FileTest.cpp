#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "IoTestSupport.h"
#include "base/Exception.h"
#include "io/File.h"
#include "io/RandomFile.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

using iotest::staleHandle;
using testsupport::bytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

std::vector<std::uint8_t> readAll(io::File& file) {
    std::vector<std::uint8_t> data(64);
    data.resize(file.read(data.data(), static_cast<std::uint32_t>(data.size())));
    return data;
}

}  // namespace

TEST(File, CreateWriteReopenRead) {
    TempDir dir;
    std::string path = dir / "data.bin";
    io::File out;
    out.create(path);
    EXPECT_TRUE(out.isOpen());
    out.write("hello ", 6);
    out.write("world", 5);
    out.write(nullptr, 3);  // nothing
    out.write("x", 0);      // nothing
    EXPECT_EQ(out.tell(), 11u);
    EXPECT_EQ(out.size(), 11u);
    out.close();
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(readFile(path), bytes("hello world"));

    io::File in(path);
    in.open();  // an empty path reopens the stored one
    char buffer[32] = {};
    EXPECT_EQ(in.read(buffer, 0), 0u);
    EXPECT_EQ(in.read(buffer, 5), 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(in.read(buffer, sizeof buffer), 6u);
    // At the end of the file a read gives 0 and does not throw.
    EXPECT_EQ(in.read(buffer, sizeof buffer), 0u);
    in.close();
    in.close();  // closing a closed file does nothing
}

TEST(File, CreateReplacesAndOpenRWKeepsContents) {
    TempDir dir;
    std::string path = dir / "a.txt";
    writeFile(path, "old contents");
    io::File file;
    file.openRW(path);
    EXPECT_EQ(file.tell(), 0u);
    file.write("OLD", 3);
    file.close();
    EXPECT_EQ(readFile(path), bytes("OLD contents"));

    file.create(path);
    EXPECT_EQ(file.size(), 0u);
    file.close();
    EXPECT_EQ(readFile(path), bytes(""));
}

TEST(File, PathStoredWithoutOneTrailingSeparatorOnlyAtConstruction) {
    std::string sep(1, platform::kSeparator);
    io::File constructed("folder" + sep + "name" + sep);
    EXPECT_EQ(constructed.path(), "folder" + sep + "name");
    io::File twice("name" + sep + sep);
    EXPECT_EQ(twice.path(), "name" + sep);

    TempDir dir;
    std::string missing = dir / "missing" + sep;
    io::File opened;
    try {
        opened.open(missing);
        FAIL() << "opened a missing path";
    } catch (const io::InputException& e) {
        EXPECT_EQ(e.message(), "io::File::open() cannot open " + missing);
    }
    EXPECT_EQ(opened.path(), missing);
}

TEST(File, HandleConstructionReadsWithoutOwning) {
    TempDir dir;
    std::string path = dir / "h.txt";
    writeFile(path, "abc");
    io::File owner(path);
    owner.open();
    {
        io::File borrowed(owner.handle(), path);
        EXPECT_TRUE(borrowed.isOpen());
        EXPECT_EQ(readAll(borrowed), bytes("abc"));
    }  // destruction leaves the handle alone
    EXPECT_EQ(owner.tell(), 3u);
    owner.close();
}

TEST(File, ResizeGrowsWithFillerAndRefusesToShrink) {
    TempDir dir;
    std::string path = dir / "r.bin";
    io::File file;
    file.create(path);
    file.write("ab", 2);
    file.resize(2);  // same size: nothing
    file.resize(5);
    EXPECT_EQ(file.tell(), 5u);
    try {
        file.resize(1);
        FAIL() << "io::File shrank";
    } catch (const io::Exception& e) {
        EXPECT_EQ(e.kind(), "I/O");
        EXPECT_EQ(e.message(), "io::File::resize() io::File::resize() cannot truncate its file");
    }
    file.close();
    EXPECT_EQ(readFile(path), (std::vector<std::uint8_t>{'a', 'b', 0xBC, 0xBC, 0xBC}));

    io::File closed(path);
    closed.resize(0);  // a closed file is left alone
    EXPECT_EQ(readFile(path).size(), 5u);
}

TEST(RandomFile, SeekAndResizeBothWays) {
    TempDir dir;
    std::string path = dir / "r.bin";
    writeFile(path, "0123456789");
    io::random::File file(path);
    file.openRW();
    file.seek(7);
    EXPECT_EQ(file.tell(), 7u);
    file.resize(4);  // shrinks, and the position goes back to 7, past the end
    EXPECT_EQ(file.size(), 4u);
    EXPECT_EQ(file.tell(), 7u);
    file.seek(2);
    file.resize(6);  // grows with zero bytes
    EXPECT_EQ(file.tell(), 2u);
    EXPECT_EQ(file.size(), 6u);
    file.close();
    EXPECT_EQ(readFile(path), (std::vector<std::uint8_t>{'0', '1', '2', '3', 0, 0}));
}

// Positions beyond 32 bits must survive the round trip; a sparse file costs no disk space
// where the file system allows it.
TEST(RandomFile, PositionsAndSizesBeyondFourGigabytes) {
    TempDir dir;
    std::string path = dir / "big.bin";
    const std::uint64_t far = (std::uint64_t(1) << 32) + 3;
    io::random::File file;
    file.create(path);
    file.seek(far);
    EXPECT_EQ(file.tell(), far);
    file.write("z", 1);
    EXPECT_EQ(file.size(), far + 1);
    file.seek(far);
    char c = 0;
    EXPECT_EQ(file.read(&c, 1), 1u);
    EXPECT_EQ(c, 'z');
    file.seek(3);  // the low half alone must not reach the byte
    EXPECT_EQ(file.read(&c, 1), 1u);
    EXPECT_EQ(c, 0);
    file.resize(10);
    EXPECT_EQ(file.size(), 10u);
    file.close();
}

TEST(File, UnlinkClosesFirstAndDeletes) {
    TempDir dir;
    std::string path = dir / "u.txt";
    io::File file;
    file.create(path);
    file.write("x", 1);
    file.unlink();
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(testsupport::fileExists(path));
}

// Every failure names the operation and ends with the stored path.
TEST(File, FailuresCarryClassAndPath) {
    TempDir dir;
    std::string missing = dir / "missing.txt";
    std::string present = dir / "present.txt";
    std::string readOnly = dir / "readonly.txt";
    std::string inMissingFolder = dir / "no" + std::string(1, platform::kSeparator) + "f.txt";
    writeFile(present, "abc");
    writeFile(readOnly, "abc");
    {
        io::File f(readOnly);
        f.setReadOnly(true);
    }

    enum Class { Input, Output, Plain };
    struct Case {
        const char* what;
        std::function<void()> action;
        Class expected;
        std::string message;
    };
    std::vector<Case> cases = {
        {"open missing", [&] { io::File().open(missing); }, Input,
         "io::File::open() cannot open " + missing},
        {"open a folder", [&] { io::File().open(dir.path()); }, Input,
         "io::File::open() cannot open " + dir.path()},
        {"openRW missing", [&] { io::File().openRW(missing); }, Input,
         "io::File::openRW() cannot open " + missing},
        {"create in a missing folder", [&] { io::File().create(inMissingFolder); }, Output,
         "io::File::create() cannot create " + inMissingFolder},
        {"close a stale handle", [&] { io::File(staleHandle(present), present).close(); }, Plain,
         "io::File::close() cannot close " + present},
        {"read a stale handle",
         [&] {
             char c;
             io::File(staleHandle(present), present).read(&c, 1);
         },
         Input, "io::File::read() cannot read from " + present},
        {"write a file opened for reading",
         [&] {
             io::File f(present);
             f.open();
             try {
                 f.write("x", 1);
             } catch (...) {
                 f.close();
                 throw;
             }
         },
         Output, "io::File::write() cannot write to " + present},
        {"tell unopened", [&] { io::File(present).tell(); }, Plain,
         "io::File::tell() cannot get the position of " + present},
        {"size unopened", [&] { io::File(present).size(); }, Plain,
         "io::File::size() cannot determine the size of " + present},
        {"unlink missing", [&] { io::File(missing).unlink(); }, Plain,
         "io::File::unlink() cannot delete " + missing},
        {"unlink read-only", [&] { io::File(readOnly).unlink(); }, Plain,
         "io::File::unlink() cannot delete " + readOnly},
        {"unlink a folder", [&] { io::File(dir.path()).unlink(); }, Plain,
         "io::File::unlink() cannot delete " + dir.path()},
        {"seek unopened", [&] { io::random::File(present).seek(1); }, Plain,
         "io::random::File::seek() cannot set the position of " + present},
        {"resize a file opened for reading",
         [&] {
             io::random::File f(present);
             f.open();
             try {
                 f.resize(1);
             } catch (...) {
                 f.close();
                 throw;
             }
         },
         Plain, "io::random::File::resize() cannot resize " + present},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.action();
            ADD_FAILURE() << "no exception";
        } catch (const io::Exception& e) {
            EXPECT_EQ(e.kind(), "I/O");
            EXPECT_EQ(e.message(), c.message);
            EXPECT_EQ(dynamic_cast<const io::InputException*>(&e) != nullptr, c.expected == Input);
            EXPECT_EQ(dynamic_cast<const io::OutputException*>(&e) != nullptr,
                      c.expected == Output);
        }
    }
    EXPECT_EQ(readFile(readOnly), bytes("abc"));
    EXPECT_EQ(readFile(present), bytes("abc"));
    io::File(readOnly).setReadOnly(false);
}

TEST(File, FailedCloseStillEmptiesTheHandle) {
    TempDir dir;
    std::string path = dir / "c.txt";
    writeFile(path, "c");
    io::File file(staleHandle(path), path);
    EXPECT_THROW(file.close(), io::Exception);
    EXPECT_FALSE(file.isOpen());
    file.close();  // now closed: nothing happens
}

#ifndef _WIN32
// The read-only attribute is played by the write permission bits and holds for every user, the
// superuser included, as it does on Windows.
TEST(File, ReadOnlyFileRefusesWritingForEveryone) {
    TempDir dir;
    std::string path = dir / "ro.txt";
    writeFile(path, "keep");
    io::File(path).setReadOnly(true);
    try {
        io::File().openRW(path);
        ADD_FAILURE() << "opened a read-only file for writing";
    } catch (const io::InputException& e) {
        EXPECT_EQ(e.message(), "io::File::openRW() cannot open " + path);
    }
    try {
        io::File().create(path);
        ADD_FAILURE() << "replaced a read-only file";
    } catch (const io::OutputException& e) {
        EXPECT_EQ(e.message(), "io::File::create() cannot create " + path);
    }
    EXPECT_EQ(readFile(path), bytes("keep"));
    io::File(path).setReadOnly(false);
}
#endif
