// Output files and folders made through the format reader: retries, free names, the renaming of
// top-level names, and that no stored name can reach anything outside the destination folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "base/Exception.h"
#include "archive/FormatReader.h"
#include "io/File.h"
#include "io/Folder.h"
#include "platform/Platform.h"
#include "io/FileOutput.h"
#include "tests/support/TestSupport.h"
#include "Traversal.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using traversal::tree;

// '/' in a relative name written for the test becomes the platform's separator.
std::string native(const std::string& relative) {
    return testsupport::nativeSeparators(relative);
}

bool collectName(const std::string& path, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(path);
    return true;
}

// A destination folder inside a scratch folder, so that anything written beside the destination
// shows up in the scratch folder's tree.
class OutputTest : public ::testing::Test {
  protected:
    OutputTest() : reader(0, archive) {
        destination = scratch / "dest";
        fs::create_directory(fs::path(destination));
        archive.setDestinationFolder(destination);
        archive.onNameChanged(collectName, &changedNames);
    }

    // Extracts one entry as the Zip reader does: a trailing '/' marks a folder.
    void extract(const std::string& stored) {
        if (!stored.empty() && stored.back() == '/') {
            reader.createOutputFolder(reader.makeOutputPath(stored.substr(0, stored.size() - 1)),
                                      256);
            return;
        }
        stream::FileOutput file;
        reader.createOutputFile(file, reader.makeOutputPath(stored), 256);
        file.write(std::string("data"));
        file.close();
    }

    TempDir scratch;
    std::string destination;
    vessel5::Archive archive;
    vessel5::FormatReader reader;
    std::vector<std::string> changedNames;
};

TEST_F(OutputTest, NoAttemptsThrowsWithoutTouchingTheDisk) {
    stream::FileOutput file;
    try {
        reader.createOutputFile(file, destination + native("/new/a.txt"), 0);
        FAIL() << "created with no attempts";
    } catch (const brindle5::exception::Output& e) {
        EXPECT_EQ(e.message(),
                  "cannot create an output file in vessel5::FormatReader::createOutputFile()");
    }
    try {
        reader.createOutputFolder(destination + native("/folder"), 0);
        FAIL() << "created with no attempts";
    } catch (const brindle5::exception::Output& e) {
        EXPECT_EQ(e.message(),
                  "cannot create an output file in vessel5::FormatReader::createOutputFolder()");
    }
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(tree(scratch.path()), std::vector<std::string>{"dest/"});
    EXPECT_TRUE(changedNames.empty());
}

TEST_F(OutputTest, ExistingNameIsRenamedAndNameChangedCarriesTheNewPath) {
    const std::string wanted = destination + native("/a.txt");
    testsupport::writeFile(wanted, std::string("old"));
    stream::FileOutput file;

    std::string used = reader.createOutputFile(file, wanted, 256);
    file.write(std::string("new"));
    file.close();

    EXPECT_EQ(used, destination + native("/a_1.txt"));
    EXPECT_EQ(changedNames, std::vector<std::string>{used});
    EXPECT_EQ(testsupport::readFile(wanted), testsupport::bytes("old"));
    EXPECT_EQ(testsupport::readFile(used), testsupport::bytes("new"));
}

TEST_F(OutputTest, ParentFoldersAreCreatedAndTheirFailureIsAnOutputError) {
    stream::FileOutput file;
    std::string used = reader.createOutputFile(file, destination + native("/x/y/z.txt"), 256);
    file.close();
    EXPECT_EQ(used, destination + native("/x/y/z.txt"));
    EXPECT_TRUE(changedNames.empty());

    // A file where a folder must go.
    testsupport::writeFile(destination + native("/blocker"), std::string("f"));
    stream::FileOutput second;
    try {
        reader.createOutputFile(second, destination + native("/blocker/sub/a.txt"), 256);
        FAIL() << "created below a file";
    } catch (const brindle5::exception::Output& e) {
        EXPECT_EQ(e.message().rfind("cannot create (directory) ", 0), 0u) << e.message();
    }
}

TEST_F(OutputTest, TopLevelNamesAreRenamedOnceAndLaterEntriesFollow) {
    fs::create_directory(fs::path(destination + native("/docs")));
    testsupport::writeFile(destination + native("/readme.txt"), std::string("mine"));

    for (const char* stored : {"docs/", "docs/a.txt", "new/", "new/x.txt", "readme.txt",
                               "docs/sub/b.txt", "new/y.txt"}) {
        extract(stored);
    }

    EXPECT_EQ(tree(destination),
              (std::vector<std::string>{"docs/", "docs_1/", "docs_1/a.txt", "docs_1/sub/",
                                        "docs_1/sub/b.txt", "new/", "new/x.txt", "new/y.txt",
                                        "readme.txt", "readme_1.txt"}));
    // Renamed by the top-level map, not by the output helpers: no change is reported.
    EXPECT_TRUE(changedNames.empty());

    // A new extraction starts afresh: the existing docs is renamed again.
    reader.clearOutputNames();
    EXPECT_EQ(reader.makeOutputPath("docs/c.txt"), destination + native("/docs_2/c.txt"));
}

// Names at the file system's name limit that are taken: the numbered name is shortened to fit,
// whether a top-level folder is renamed, a top-level file is created under a new name, or a
// file below a folder meets a taken name.
TEST_F(OutputTest, TakenNamesAtTheNameLimitGetNumberedNamesThatFit) {
    const std::string folder(255, 'd');
    const std::string file = std::string(251, 'f') + ".txt";
    fs::create_directory(fs::path(destination + native("/" + folder)));
    testsupport::writeFile(destination + native("/" + file), std::string("mine"));
    fs::create_directory(fs::path(destination + native("/sub")));
    testsupport::writeFile(destination + native("/sub/" + file), std::string("mine"));

    extract(folder + "/a.txt");
    stream::FileOutput output;
    const std::string top = reader.createOutputFile(output, reader.makeOutputPath(file, true), 256);
    output.close();
    const std::string below =
        reader.createOutputFile(output, destination + native("/sub/" + file), 256);
    output.close();

    const std::string numbered = std::string(249, 'f') + "_1.txt";
    EXPECT_EQ(top, destination + native("/" + numbered));
    EXPECT_EQ(below, destination + native("/sub/" + numbered));
    // Looked at through the product's own file calls: these paths pass the classic Windows
    // limit, which the test helpers keep to.
    const std::string renamed = std::string(253, 'd') + "_1";
    for (const std::string& made : {renamed + "/a.txt", numbered, "sub/" + numbered}) {
        EXPECT_TRUE(io::exists(destination + native("/" + made))) << made;
    }
    EXPECT_FALSE(io::exists(destination + native("/" + folder + "/a.txt")));
    for (const std::string& mine : {file, "sub/" + file}) {
        io::File old;
        old.open(destination + native("/" + mine));
        char text[8] = {};
        EXPECT_EQ(old.read(text, sizeof text), 4u);
        EXPECT_EQ(std::string(text), "mine");
        old.close();
    }
}

TEST_F(OutputTest, RelativeDestinationIsMadeAbsolute) {
    archive.setDestinationFolder(".");
    std::string path = reader.makeOutputPath("a/b.txt");
    EXPECT_TRUE(fs::path(path).is_absolute()) << path;
    EXPECT_EQ(fs::path(path).filename().string(), "b.txt");
}

TEST_F(OutputTest, NothingLandsOutsideTheDestination) {
    for (const traversal::Landing& c : traversal::cases()) {
        SCOPED_TRACE(c.stored);
        TempDir root;
        const std::string dest = root / "dest";
        fs::create_directory(fs::path(dest));
        vessel5::Archive fresh;
        fresh.setDestinationFolder(dest);
        vessel5::FormatReader freshReader(0, fresh);

        std::string stored = c.stored;
        if (stored.back() == '/') {
            stored.pop_back();
            freshReader.createOutputFolder(freshReader.makeOutputPath(stored), 256);
        } else {
            stream::FileOutput file;
            freshReader.createOutputFile(file, freshReader.makeOutputPath(stored), 256);
            file.close();
        }

        EXPECT_EQ(tree(root.path()), traversal::expectedTree(c.landed));
    }
    EXPECT_FALSE(testsupport::fileExists(native("/abs/evil.txt")));
}

TEST_F(OutputTest, NameWithNothingUsableIsRefused) {
    for (const char* stored : {"", "/", "..", "../..", "\\\\?\\", ". /.. /...", "C:"}) {
        try {
            reader.makeOutputPath(stored);
            ADD_FAILURE() << "accepted '" << stored << "'";
        } catch (const brindle5::exception::BadFormat& e) {
            EXPECT_NE(e.message().find("makeOutputPath()"), std::string::npos) << e.message();
        }
    }
    EXPECT_EQ(tree(scratch.path()), std::vector<std::string>{"dest/"});
}

TEST_F(OutputTest, PathsOutsideTheDestinationAreRefusedByTheOutputHelpers) {
    const std::vector<std::string> outside = {
        scratch / "beside.txt",
        destination + native("/../beside.txt"),
        destination + native("/a/../../beside.txt"),
        destination,
        // Cleaning turns this into "..": the prepared path is what is judged.
        destination + native("/.\x01./beside.txt"),
    };
    for (const std::string& path : outside) {
        stream::FileOutput file;
        EXPECT_THROW(reader.createOutputFile(file, path, 256), brindle5::exception::Output) << path;
        EXPECT_THROW(reader.createOutputFolder(path, 256), brindle5::exception::Output) << path;
    }
    EXPECT_EQ(tree(scratch.path()), std::vector<std::string>{"dest/"});
}

TEST_F(OutputTest, CleaningRemovesCharactersBelowTheDestinationOnly) {
    // The cleaner would drop DEL (legal in file names everywhere); a destination chosen with it
    // must be used as it is. The file layer's own calls look at the result, so that the test
    // names the files exactly as the program does.
    const std::string odd = scratch / "dest\x7F";
    io::createFolder(odd);
    archive.setDestinationFolder(odd);

    extract(
        "sub\x7F/a\x01"
        "b.txt");

    EXPECT_TRUE(io::exists(odd + native("/sub/ab.txt")));
    EXPECT_FALSE(io::exists(destination + native("/sub")));

    archive.setCleanNames(false);
    extract("keep\x7F.txt");
    EXPECT_TRUE(io::exists(odd + native("/keep\x7F.txt")));
}

}  // namespace
