#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "platform/Platform.h"
#include "io/FileInput.h"
#include "io/FileOutput.h"
#include "stream/MemoryStream.h"
#include "tests/support/TestSupport.h"

using testsupport::bytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

TEST(FileInput, ReadsGetsSeeksAndCopies) {
    TempDir dir;
    std::string path = dir / "in.txt";
    writeFile(path, "abcdefgh");
    stream::FileInput input(path);
    EXPECT_TRUE(input.isOpen());
    EXPECT_EQ(input.size(), 8u);
    EXPECT_EQ(input.get(), 'a');
    char buffer[4] = {};
    EXPECT_EQ(input.read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "bcd");
    EXPECT_EQ(input.read(nullptr, 3), 0u);
    EXPECT_EQ(input.read(buffer, 0), 0u);
    EXPECT_EQ(input.tell(), 4u);
    EXPECT_EQ(input.skip(2), 2u);
    stream::MemoryOutput rest;
    EXPECT_EQ(input.copy(rest, stream::ALL), 2u);
    EXPECT_EQ(rest.text(), "gh");
    // The end of the file is no error.
    EXPECT_EQ(input.get(), -1);
    EXPECT_EQ(input.read(buffer, 4), 0u);
    EXPECT_EQ(input.skip(5), 0u);
    input.seek(1);
    EXPECT_EQ(input.get(), 'b');
    input.close();
    EXPECT_FALSE(input.isOpen());
}

TEST(FileInput, OpenFailureLeavesTheConstructorWithThePath) {
    TempDir dir;
    std::string path = dir / "missing.zip";
    try {
        stream::FileInput input(path);
        FAIL() << "opened a missing file";
    } catch (const io::InputException& e) {
        EXPECT_EQ(e.message(), "io::File::open() cannot open " + path);
    }
    stream::FileInput later;
    EXPECT_FALSE(later.isOpen());
    EXPECT_THROW(later.open(path), io::InputException);
    writeFile(path, "z");
    later.open(path);
    EXPECT_EQ(later.get(), 'z');
}

// A stream on someone else's handle never closes it: neither by close() nor by destruction.
TEST(FileInput, BorrowedHandleStaysOpen) {
    TempDir dir;
    std::string path = dir / "shared.bin";
    writeFile(path, "0123");
    io::File owner(path);
    owner.open();
    {
        stream::FileInput borrowed(owner.handle(), path);
        EXPECT_EQ(borrowed.get(), '0');
        borrowed.close();
        EXPECT_TRUE(borrowed.isOpen());
        EXPECT_EQ(borrowed.get(), '1');
    }
    char c = 0;
    EXPECT_EQ(owner.read(&c, 1), 1u);
    EXPECT_EQ(c, '2');
    owner.close();
}

TEST(FileOutput, CreateWriteAndClose) {
    TempDir dir;
    std::string path = dir / "out.txt";
    writeFile(path, "previous contents are replaced");
    stream::FileOutput output;
    EXPECT_FALSE(output.isOpen());
    output.create(path);
    EXPECT_TRUE(output.isOpen());
    output.put('<');
    output.write(std::string("text"));
    output.write("!!", 2);
    output.fill(2, '-');
    EXPECT_EQ(output.tell(), 9u);
    EXPECT_EQ(output.size(), 9u);
    stream::MemoryInput source(std::string("tail"));
    EXPECT_EQ(output.copyFrom(source, stream::ALL), 4u);
    output.close();
    EXPECT_FALSE(output.isOpen());
    output.close();  // a closed stream closes nothing
    EXPECT_EQ(readFile(path), bytes("<text!!--tail"));

    output.openRW(path);
    output.write(std::string("[>"));
    output.close();
    EXPECT_EQ(readFile(path), bytes("[>ext!!--tail"));
}

TEST(FileOutput, ResizeGrowsWithFillerAndRefusesToShrink) {
    TempDir dir;
    std::string path = dir / "sized.bin";
    {
        stream::FileOutput output;
        output.create(path);
        output.write(std::string("ab"));
        output.resize(4);
        try {
            output.resize(3);
            FAIL() << "shrank a file output";
        } catch (const io::Exception& e) {
            EXPECT_EQ(e.message(),
                      "io::File::resize() io::File::resize() cannot truncate its file");
        }
    }  // destruction closes the owned file
    EXPECT_EQ(readFile(path), (std::vector<std::uint8_t>{'a', 'b', 0xBC, 0xBC}));
    io::File check(path);
    check.unlink();  // no handle is left open on it
}

TEST(FileOutput, FailuresPassThroughWithThePath) {
    TempDir dir;
    std::string folderless = dir / "no" + std::string(1, platform::kSeparator) + "x.txt";
    stream::FileOutput output;
    try {
        output.create(folderless);
        FAIL() << "created a file in a missing folder";
    } catch (const io::OutputException& e) {
        EXPECT_EQ(e.message(), "io::File::create() cannot create " + folderless);
    }
    EXPECT_FALSE(output.isOpen());

    std::string path = dir / "readable.txt";
    writeFile(path, "r");
    output.open(path);  // for reading only: writes fail
    try {
        output.put('x');
        FAIL() << "wrote through a read handle";
    } catch (const io::OutputException& e) {
        EXPECT_EQ(e.message(), "io::File::write() cannot write to " + path);
    }
    output.close();
}

TEST(FileOutput, DestructionSwallowsAFailedClose) {
    TempDir dir;
    std::string path = dir / "gone.txt";
    auto output = std::make_unique<stream::FileOutput>();
    output->create(path);
    // Close the handle behind the stream's back, so its own close must fail.
    io::File(output->file().handle(), path).close();
    EXPECT_NO_THROW(output.reset());
}
