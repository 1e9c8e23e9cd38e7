// The installer side of a run: the OPTIONS block (wait, temp) and the command line's -d, -t, -h
// and "--", on self-extracting files made on the spot, with the machine and the user faked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "FakeEnvironment.h"
#include "SfxFiles.h"
#include "app/CommandLine.h"
#include "app/ExtractionRun.h"
#include "archive/Archive.h"
#include "platform/Platform.h"
#include "sfx/Layout.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using apptest::FakeEnvironment;
using apptest::FakeFrontEnd;
using apptest::quoted;
using testsupport::TempDir;

const std::string kSep(1, platform::kSeparator);

std::string optionsBlock(std::uint8_t flags) {
    std::string block(sfx::kOptionsBlockSize, '\0');
    block[0] = static_cast<char>(flags);
    return block;
}

// Whether a UTF-8 path exists (the narrow std::filesystem paths are not UTF-8 on Windows).
bool existsUtf8(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::u8path(path), error);
}

class InstallerRun : public ::testing::Test {
  protected:
    void SetUp() override { makeFile(apptest::storedZip(kEntries)); }

    void makeFile(const std::string& zip) {
        env.executable = dir / "sfx.exe";
        testsupport::writeFile(env.executable, apptest::selfExtracting(zip));
        env.folders[app::Environment::Folder::current] = out;
        env.folders[app::Environment::Folder::temporary] = dir / "tmp";
        env.privateParent = dir / "tmp";
        env.resources["RUN"] = "setup.exe a b";
        env.resources["RUN"].resize(261, '\0');
    }
    void setOptions(std::uint8_t flags) { env.resources["OPTIONS"] = optionsBlock(flags); }
    int run(const std::string& commandLine) {
        vessel5::Archive archive;
        app::ExtractionRun extraction(ui, env, archive);
        return extraction.run(commandLine);
    }
    bool has(const std::string& event) const {
        return std::find(ui.events.begin(), ui.events.end(), event) != ui.events.end();
    }
    // Whatever a run wrote, anywhere in the test's folder but the file itself.
    std::vector<std::string> written() const {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
            if (e.path() != fs::path(env.executable) && !e.is_directory()) {
                found.push_back(e.path().string());
            }
        }
        return found;
    }
    bool tmpIsEmpty() const {
        return !fs::exists(dir / "tmp") || fs::is_empty(fs::path(dir / "tmp"));
    }

    const std::vector<apptest::Entry> kEntries = {
        {"a.txt", "hello"}, {"docs/", ""}, {"docs/b.txt", "world"}, {"setup.exe", "program"}};
    TempDir dir;
    std::string out = dir / "out";
    FakeEnvironment env;
    FakeFrontEnd ui;
};

TEST_F(InstallerRun, TempExtractsIntoAPrivateFolderWaitsAndRemovesIt) {
    setOptions(sfx::kOptionTemp);
    env.exitCode = 7;
    EXPECT_EQ(run("-q -- extra \"two words\""), 7) << ui.error;
    ASSERT_EQ(env.madeFolders.size(), 1u);
    const std::string folder = env.madeFolders[0];
    ASSERT_EQ(env.waited.size(), 1u);
    EXPECT_EQ(env.waited[0], quoted(folder + kSep + "setup.exe") + " a b extra \"two words\"");
    EXPECT_TRUE(env.presentWhileRunning);  // removed only after the program ended
    EXPECT_TRUE(env.started.empty());
    EXPECT_EQ(env.removedFolders, env.madeFolders);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(written().empty());
    EXPECT_FALSE(has("error"));
}

TEST_F(InstallerRun, TempAsksForConfirmationButNoDestination) {
    setOptions(sfx::kOptionTemp);
    EXPECT_EQ(run(""), app::kDone) << ui.error;
    EXPECT_TRUE(has("confirm"));
    EXPECT_FALSE(has("destination"));
    EXPECT_EQ(env.waited.size(), 1u);
    EXPECT_EQ(env.removedFolders.size(), 1u);
    EXPECT_TRUE(written().empty());
}

// Declined before a folder is made, cancelled or failed after: no private folder is left.
TEST_F(InstallerRun, TempLeavesNoFolderWhenTheRunEndsEarly) {
    setOptions(sfx::kOptionTemp);
    ui.declineConfirmation = true;
    EXPECT_EQ(run(""), app::kCancelled);
    EXPECT_TRUE(env.madeFolders.empty());

    makeFile(apptest::storedZip({{"a.txt", "hello"}, {"big.bin", std::string(300000, 'x')}}));
    setOptions(sfx::kOptionTemp);
    ui = FakeFrontEnd();
    ui.cancelAtAdvance = 1;
    EXPECT_EQ(run(""), app::kCancelled);
    ASSERT_EQ(env.madeFolders.size(), 1u);
    EXPECT_EQ(env.removedFolders, env.madeFolders);

    std::string zip = apptest::storedZip({{"a.txt", "hello"}});
    zip[30 + 5] = 'j';  // "hello" -> "jello": the CRC no longer matches
    makeFile(zip);
    setOptions(sfx::kOptionTemp);
    ui = FakeFrontEnd();
    EXPECT_EQ(run("-q"), app::kErrorShown);
    EXPECT_EQ(ui.error, "Bad data exception: CRC mismatch in zip reader; data is invalid.");
    EXPECT_EQ(env.removedFolders, env.madeFolders);
    EXPECT_TRUE(env.waited.empty());
    EXPECT_TRUE(tmpIsEmpty());
}

TEST_F(InstallerRun, NoPrivateFolderIsAnErrorBeforeAnythingIsWritten) {
    setOptions(sfx::kOptionTemp);
    env.privateParent.clear();
    EXPECT_EQ(run("-q"), app::kErrorShown);
    EXPECT_NE(ui.error.find("temporary folder " + (dir / "tmp")), std::string::npos) << ui.error;
    EXPECT_TRUE(written().empty());
}

TEST_F(InstallerRun, WaitEndsWithTheProgramsCodeAndKeepsTheFolder) {
    setOptions(sfx::kOptionWait);
    for (int code : {0, 1, 5, 255, 130}) {
        fs::remove_all(out);
        env.exitCode = code;
        env.waited.clear();
        EXPECT_EQ(run("-q"), code);
        ASSERT_EQ(env.waited.size(), 1u);
        EXPECT_EQ(env.waited[0], quoted(out + kSep + "setup.exe") + " a b");
        EXPECT_TRUE(testsupport::fileExists(out + kSep + "a.txt"));
    }
    EXPECT_TRUE(env.madeFolders.empty());
    EXPECT_TRUE(env.removedFolders.empty());
}

TEST_F(InstallerRun, WaitingForAProgramThatCannotStartIsAFailure) {
    setOptions(sfx::kOptionWait);
    env.startable = false;
    EXPECT_EQ(run("-q"), app::kOtherFailure);
    EXPECT_NE(ui.error.find("could not be started"), std::string::npos) << ui.error;
}

// A block of zeros, or none at all, is the stub as it always was: started, not waited for.
TEST_F(InstallerRun, UntouchedOptionsStartWithoutWaiting) {
    for (bool present : {true, false}) {
        fs::remove_all(out);
        env.started.clear();
        if (present) {
            setOptions(0);
        } else {
            env.resources.erase("OPTIONS");
        }
        env.exitCode = 9;
        EXPECT_EQ(run("-q -- x"), app::kDone);
        ASSERT_EQ(env.started.size(), 1u);
        EXPECT_EQ(env.started[0], quoted(out + kSep + "setup.exe") + " a b x");
        EXPECT_TRUE(env.waited.empty());
    }
}

// A folder named on the command line belongs to the user: used instead of a temporary one, and
// kept. Without -q it is the folder offered.
TEST_F(InstallerRun, DestinationOnTheCommandLine) {
    const std::string named = dir / "named Łukasz place";
    setOptions(sfx::kOptionTemp);
    EXPECT_EQ(run("-q -d \"" + named + "\""), app::kDone) << ui.error;
    EXPECT_TRUE(existsUtf8(named + kSep + "docs" + kSep + "b.txt"));
    EXPECT_TRUE(env.madeFolders.empty());
    EXPECT_TRUE(env.removedFolders.empty());
    EXPECT_EQ(env.waited.size(), 1u);  // temp still means waiting

    env.resources.erase("OPTIONS");
    ui = FakeFrontEnd();
    EXPECT_EQ(run("-d=\"" + named + "2\""), app::kDone) << ui.error;
    EXPECT_EQ(ui.offered, named + "2");
    EXPECT_TRUE(existsUtf8(named + "2" + kSep + "a.txt"));
}

TEST_F(InstallerRun, TestChecksEveryEntryAndWritesNothing) {
    setOptions(sfx::kOptionTemp);
    EXPECT_EQ(run("-t"), app::kDone) << ui.error;
    EXPECT_EQ(ui.message, "Tested 4 entries: no errors.");
    EXPECT_FALSE(has("confirm"));
    EXPECT_TRUE(written().empty());
    EXPECT_TRUE(env.madeFolders.empty());
    EXPECT_TRUE(env.started.empty() && env.waited.empty());

    ui = FakeFrontEnd();
    EXPECT_EQ(run("-t -q"), app::kDone);
    EXPECT_FALSE(has("message"));
    EXPECT_FALSE(has("create"));

    std::string zip = apptest::storedZip({{"a.txt", "hello"}, {"b.txt", "world"}});
    zip[30 + 5] = 'j';
    makeFile(zip);
    for (const char* line : {"-t", "-q -t"}) {
        ui = FakeFrontEnd();
        EXPECT_EQ(run(line), app::kErrorShown) << line;
        ASSERT_EQ(ui.notes.size(), 1u) << line;
        EXPECT_NE(ui.notes[0].find("a.txt"), std::string::npos) << ui.notes[0];
        EXPECT_EQ(has("error"), std::string(line) == "-t") << line;
        EXPECT_TRUE(written().empty());
    }
    EXPECT_NE(run("-t"), app::kDone);
    EXPECT_EQ(ui.error.rfind("Tested 2 entries: 1 damaged, the first a.txt: ", 0), 0u) << ui.error;
}

TEST_F(InstallerRun, HelpShowsTheUsageAndDoesNothingElse) {
    for (const char* line : {"-h", "--help", "/?", "-q -h"}) {
        ui = FakeFrontEnd();
        EXPECT_EQ(run(line), app::kDone) << line;
        EXPECT_EQ(ui.events, std::vector<std::string>{"message"}) << line;
        EXPECT_EQ(ui.message, app::stubUsage());
    }
    EXPECT_TRUE(written().empty());
}

}  // namespace
