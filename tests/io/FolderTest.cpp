#include <gtest/gtest.h>

#include <string>

#include "base/Exception.h"
#include "io/Folder.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

using testsupport::TempDir;
using testsupport::writeFile;

namespace {

std::string n(const std::string& path) {
    return testsupport::nativeSeparators(path);
}

}  // namespace

TEST(Folder, ExistsAndIsDirectory) {
    TempDir dir;
    writeFile(dir / "file.txt", "x");
    EXPECT_TRUE(io::exists(dir.path()));
    EXPECT_TRUE(io::exists(dir / "file.txt"));
    EXPECT_FALSE(io::exists(dir / "missing"));
    EXPECT_FALSE(io::exists(""));
    EXPECT_TRUE(io::isDirectory(dir.path()));
    EXPECT_FALSE(io::isDirectory(dir / "file.txt"));
    EXPECT_FALSE(io::isDirectory(dir / "missing"));
    EXPECT_FALSE(io::isDirectory(""));
}

TEST(Folder, CreateFolderBuildsTheWholeChain) {
    TempDir dir;
    std::string deepest = dir / n("one/two/three");
    io::createFolder(deepest);
    EXPECT_TRUE(io::isDirectory(dir / "one"));
    EXPECT_TRUE(io::isDirectory(dir / n("one/two")));
    EXPECT_TRUE(io::isDirectory(deepest));
    io::createFolder(deepest);  // an existing folder is left alone
    io::createFolder(dir.path());
    if (platform::kDriveLetters) {
        io::createFolder("C:");  // a bare drive too
    }
}

TEST(Folder, CreateFolderOfAndParentFolders) {
    TempDir dir;
    io::createFolderOf(dir / n("made/"));
    EXPECT_TRUE(io::isDirectory(dir / "made"));
    io::createFolderOf("");  // nothing

    io::createParentFolders(dir / n("p/q/file.txt"));
    EXPECT_TRUE(io::isDirectory(dir / n("p/q")));
    EXPECT_FALSE(io::exists(dir / n("p/q/file.txt")));
    io::createParentFolders(dir / n("p/q/other.txt"));  // already there
    io::createParentFolders("");
    io::createParentFolders("bare-name");  // no folder part: nothing to create
    EXPECT_FALSE(io::exists("bare-name"));
}

// A file in the way of a folder, at the end or in the middle of the chain: the message names
// the name that could not become a folder.
TEST(Folder, CreateFolderFailsWithThePathItCouldNotCreate) {
    TempDir dir;
    writeFile(dir / "blocker", "x");
    struct Case {
        std::string path, failing;
    };
    const Case cases[] = {
        {dir / "blocker", dir / "blocker"},
        {dir / n("blocker/below/deeper"), dir / "blocker"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        try {
            io::createFolder(c.path);
            ADD_FAILURE() << "no exception";
        } catch (const io::Exception& e) {
            EXPECT_EQ(e.kind(), "I/O");
            EXPECT_EQ(e.message(), "cannot create (directory) " + c.failing);
        }
    }
    try {
        io::createParentFolders(dir / n("blocker/sub/file.txt"));
        FAIL() << "no exception";
    } catch (const io::Exception& e) {
        EXPECT_EQ(e.message(), "cannot create (directory) " + dir / "blocker");
    }
}
