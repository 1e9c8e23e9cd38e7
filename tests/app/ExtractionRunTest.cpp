#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "FakeEnvironment.h"
#include "SfxFiles.h"
#include "app/ExtractionRun.h"
#include "archive/Archive.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

namespace {

using apptest::FakeEnvironment;
using apptest::FakeFrontEnd;
using apptest::quoted;
using testsupport::TempDir;

const std::string kSep(1, platform::kSeparator);

// A patterned payload large enough to cross several progress notifications.
std::string payload(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 31 + i / 7) & 0xFF);
    }
    return data;
}

// One self-extracting file in a temporary folder, the destination beside it, and a run on it.
class RunFixture : public ::testing::Test {
  protected:
    void makeFile(const std::vector<apptest::Entry>& entries) {
        makeFile(apptest::storedZip(entries));
    }
    void makeFile(const std::string& zip) {
        env.executable = dir / "sfx.exe";
        testsupport::writeFile(env.executable, apptest::selfExtracting(zip));
        env.folders[app::Environment::Folder::current] = out;
        env.resources["RUN"] = "setup.exe";
        env.resources["RUN"].resize(261, '\0');
    }
    int run(const std::string& commandLine) {
        vessel5::Archive archive;
        app::ExtractionRun extraction(ui, env, archive);
        return extraction.run(commandLine);
    }
    bool has(const std::string& event) const {
        return std::find(ui.events.begin(), ui.events.end(), event) != ui.events.end();
    }
    bool outputEmpty() const {
        return !testsupport::fileExists(out + kSep + "a.txt") &&
               !testsupport::fileExists(out + kSep + "big.bin");
    }

    TempDir dir;
    std::string out = dir / "out";
    FakeEnvironment env;
    FakeFrontEnd ui;
};

TEST_F(RunFixture, QuietRunAsksNothingExtractsAndLaunches) {
    makeFile({{"a.txt", "hello"}, {"docs/", ""}, {"docs/b.txt", "world"}, {"setup.exe", ""}});
    EXPECT_EQ(run("-q"), app::kDone) << ui.error;
    EXPECT_FALSE(has("confirm"));
    EXPECT_FALSE(has("destination"));
    EXPECT_FALSE(has("create"));
    EXPECT_EQ(testsupport::readFile(out + kSep + "a.txt"), testsupport::bytes("hello"));
    EXPECT_EQ(testsupport::readFile(out + kSep + "docs" + kSep + "b.txt"),
              testsupport::bytes("world"));
    ASSERT_EQ(env.started.size(), 1u);
    EXPECT_EQ(env.started[0], quoted(out + kSep + "setup.exe"));
}

// RUN starts the copy this run wrote, renamed or not; a file that was there before is never
// started, and saying so ends the run with the code for other failures.
TEST_F(RunFixture, LaunchesOnlyTheCopyThisRunWrote) {
    std::filesystem::create_directories(out);
    testsupport::writeFile(out + kSep + "setup.exe", "planted");
    makeFile({{"a.txt", "hello"}, {"setup.exe", "ours"}});
    EXPECT_EQ(run("-q"), app::kDone) << ui.error;
    ASSERT_EQ(env.started.size(), 1u);
    EXPECT_EQ(env.started[0], quoted(out + kSep + "setup_1.exe"));

    env.started.clear();
    makeFile({{"b.txt", "no program in here"}});
    EXPECT_EQ(run("-q"), app::kOtherFailure);
    EXPECT_TRUE(env.started.empty());
    EXPECT_NE(ui.error.find(out + kSep + "setup.exe"), std::string::npos) << ui.error;
}

TEST_F(RunFixture, InteractiveRunGoesThroughEveryStepInOrder) {
    makeFile({{"a.txt", "hello"}, {"setup.exe", ""}});
    const std::string chosen = dir / "chosen place";
    ui.typedDestination = chosen;
    EXPECT_EQ(run("-Q"), app::kDone) << ui.error;
    EXPECT_EQ(ui.offered, out);
    ASSERT_GE(ui.events.size(), 6u);
    EXPECT_EQ(ui.events[0], "confirm");
    EXPECT_EQ(ui.events[1], "destination");
    EXPECT_EQ(ui.events[2], "create");
    EXPECT_EQ(ui.events[3], "start 5");
    EXPECT_EQ(ui.events[4], "name " + chosen + kSep + "a.txt");
    EXPECT_EQ(ui.events.back(), "destroy");
    EXPECT_FALSE(has("error"));
    EXPECT_EQ(testsupport::readFile(chosen + kSep + "a.txt"), testsupport::bytes("hello"));
    EXPECT_TRUE(outputEmpty());
    ASSERT_EQ(env.started.size(), 1u);
    EXPECT_EQ(env.started[0], quoted(chosen + kSep + "setup.exe"));
}

TEST_F(RunFixture, NotQuietCommandLinesAreInteractive) {
    makeFile({{"a.txt", "hello"}});
    for (const char* line : {"-Q", " -q", "-q x", ""}) {
        ui = FakeFrontEnd();
        ui.declineConfirmation = true;
        EXPECT_EQ(run(line), app::kCancelled) << line;
        EXPECT_EQ(ui.events, std::vector<std::string>{"confirm"}) << line;
    }
}

TEST_F(RunFixture, DecliningEitherQuestionEndsSilentlyWithNothingWritten) {
    makeFile({{"a.txt", "hello"}});
    for (int which = 0; which < 2; ++which) {
        ui = FakeFrontEnd();
        ui.declineConfirmation = which == 0;
        ui.cancelDestination = which == 1;
        EXPECT_EQ(run(""), app::kCancelled);
        EXPECT_FALSE(has("error"));
        EXPECT_FALSE(has("create"));
        EXPECT_EQ(has("destination"), which == 1);
        EXPECT_TRUE(outputEmpty());
        EXPECT_TRUE(env.started.empty());
    }
}

TEST_F(RunFixture, CancelDuringAnEntryLeavesNoPartialFileAndNoLaunch) {
    makeFile({{"a.txt", "hello"}, {"big.bin", payload(200000)}, {"z.txt", "late"}});
    ui.cancelAtAdvance = 1;
    EXPECT_EQ(run(""), app::kCancelled) << ui.error;
    EXPECT_FALSE(has("error"));
    EXPECT_EQ(ui.events.back(), "destroy");
    EXPECT_TRUE(testsupport::fileExists(out + kSep + "a.txt"));  // finished before the Cancel
    EXPECT_FALSE(testsupport::fileExists(out + kSep + "big.bin"));
    EXPECT_FALSE(testsupport::fileExists(out + kSep + "z.txt"));
    EXPECT_TRUE(env.started.empty());
    // Once cancelled, the window is not moved again.
    EXPECT_EQ(ui.advances.size(), 2u);
}

TEST_F(RunFixture, ProgressReportsGrowTowardsTheTotal) {
    makeFile({{"big.bin", payload(100000)}});
    EXPECT_EQ(run(""), app::kDone) << ui.error;
    EXPECT_TRUE(has("start 100000"));
    ASSERT_FALSE(ui.advances.empty());
    EXPECT_TRUE(std::is_sorted(ui.advances.begin(), ui.advances.end()));
    EXPECT_LE(ui.advances.back(), 100000u);
}

TEST_F(RunFixture, DamagedArchiveShowsTheErrorAfterTheWindowIsGone) {
    std::string zip = apptest::storedZip({{"a.txt", "hello"}});
    zip[30 + 5] = 'j';  // "hello" -> "jello": the CRC no longer matches
    makeFile(zip);
    for (const char* line : {"-q", ""}) {
        ui = FakeFrontEnd();
        env.started.clear();
        EXPECT_EQ(run(line), app::kErrorShown) << line;
        EXPECT_EQ(ui.error, "Bad data exception: CRC mismatch in zip reader; data is invalid.");
        ASSERT_GE(ui.events.size(), 2u);
        EXPECT_EQ(ui.events.back(), "error");
        if (std::string(line).empty()) {
            EXPECT_EQ(ui.events[ui.events.size() - 2], "destroy");
        }
        EXPECT_TRUE(env.started.empty());
    }
}

TEST_F(RunFixture, UnreadableProgramFileShowsTheParserError) {
    makeFile({{"a.txt", "hello"}});
    env.executable = dir / "missing.exe";
    EXPECT_EQ(run("-q"), app::kErrorShown);
    EXPECT_EQ(ui.error, "MarkedExecutableParser exception: cannot open the executable.");
    EXPECT_TRUE(env.started.empty());
}

TEST_F(RunFixture, ForeignFailureEndsWithCode3AndNoBox) {
    makeFile({{"a.txt", "hello"}});
    ui.throwForeign = true;
    EXPECT_EQ(run(""), app::kOtherFailure);
    EXPECT_FALSE(has("error"));
}

TEST_F(RunFixture, WithoutRunTextNothingIsStarted) {
    makeFile({{"a.txt", "hello"}});
    env.resources.erase("RUN");
    EXPECT_EQ(run("-q"), app::kDone) << ui.error;
    env.resources["RUN"] = std::string(261, '\0');
    EXPECT_EQ(run("-q"), app::kDone) << ui.error;
    EXPECT_TRUE(env.started.empty());
}

}  // namespace

// The licence comes after the confirmation and before the destination; declining it ends the run
// like any cancel, and -q (the shipper's silent mode) accepts it without showing it.
TEST_F(RunFixture, LicenceIsAskedBetweenTheQuestionsAndQuietAcceptsIt) {
    makeFile({{"a.txt", "hello"}});
    env.resources["LICENSE"] = "Terms\nline two\n";

    ui.declineLicense = true;
    EXPECT_EQ(run(""), app::kCancelled);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"confirm", "license"}));
    EXPECT_EQ(ui.license, "Terms\nline two\n");
    EXPECT_TRUE(outputEmpty());

    ui = FakeFrontEnd();
    EXPECT_EQ(run(""), app::kDone) << ui.error;
    ASSERT_GE(ui.events.size(), 3u);
    EXPECT_EQ(ui.events[1], "license");
    EXPECT_EQ(ui.events[2], "destination");

    ui = FakeFrontEnd();
    std::filesystem::remove_all(out);
    EXPECT_EQ(run("-q"), app::kDone) << ui.error;
    EXPECT_FALSE(has("license"));
    EXPECT_EQ(testsupport::readFile(out + kSep + "a.txt"), testsupport::bytes("hello"));

    // No licence resource, or an empty one: no page.
    for (const char* text : {static_cast<const char*>(""), static_cast<const char*>(nullptr)}) {
        ui = FakeFrontEnd();
        std::filesystem::remove_all(out);
        if (text == nullptr) {
            env.resources.erase("LICENSE");
        } else {
            env.resources["LICENSE"] = text;
        }
        EXPECT_EQ(run(""), app::kDone) << ui.error;
        EXPECT_FALSE(has("license"));
    }
}

// The texts reach the front end as stored up to their first zero byte; one longer than the
// layout allows (a damaged or foreign resource) falls back to the default.
TEST_F(RunFixture, TextsReachTheFrontEndWithinTheirLimits) {
    makeFile({{"a.txt", "hello"}});
    struct Case {
        std::string stored;
        std::size_t limit;
        std::string expected;
    };
    const Case cases[] = {
        {"Acme Setup", 255, "Acme Setup"},
        {std::string("Acme\0padding", 12), 255, "Acme"},
        {std::string(255, 't'), 255, std::string(255, 't')},
        {std::string(256, 't'), 255, ""},
        {std::string(2048, 'm'), 2047, ""},
    };
    for (const Case& c : cases) {
        ui = FakeFrontEnd();
        ui.declineConfirmation = true;
        const char* name = c.limit == 255 ? "TITLE" : "MESSAGE";
        env.resources.erase("TITLE");
        env.resources.erase("MESSAGE");
        env.resources[name] = c.stored;
        EXPECT_EQ(run(""), app::kCancelled);
        const std::string& got = c.limit == 255 ? ui.texts().title : ui.texts().message;
        EXPECT_EQ(got, c.expected) << name << " of " << c.stored.size() << " bytes";
    }
    env.resources.erase("TITLE");
    env.resources.erase("MESSAGE");
    ui = FakeFrontEnd();
    ui.declineConfirmation = true;
    run("");
    EXPECT_EQ(ui.texts().title, "");
    EXPECT_EQ(ui.texts().message, "");
    EXPECT_EQ(ui.texts().license, "");
}
