// The installer options in the tool: --wait and --temp on make's command line, their block in
// both kinds of stub, and `zipsfx info` reading a made file back.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "sfx/Layout.h"
#include "tests/support/TestSupport.h"
#include "tests/tools/zipsfx/Images.h"
#include "tools/zipsfx/Info.h"
#include "tools/zipsfx/Make.h"
#include "tools/zipsfx/MakeOptions.h"
#include "tools/zipsfx/StubImage.h"

namespace {

namespace fs = std::filesystem;
using tools::Destination;
using tools::StubSettings;

std::vector<std::string> args(std::initializer_list<const char*> words) {
    return std::vector<std::string>(words.begin(), words.end());
}

TEST(InstallerMakeOptions, WaitAndTempAreReadAndTempRefusesADestination) {
    auto both = tools::parseMakeOptions(args({"-o", "x", "--wait", "--temp", "in"}));
    EXPECT_TRUE(both.settings.wait);
    EXPECT_TRUE(both.settings.temp);
    auto neither = tools::parseMakeOptions(args({"-o", "x", "in"}));
    EXPECT_FALSE(neither.settings.wait || neither.settings.temp);

    const std::vector<std::vector<std::string>> refused = {
        args({"-o", "x", "--temp", "--destination", "temp", "in"}),
        args({"-o", "x", "--destination=/opt/app", "--temp", "in"}),
        args({"-o", "x", "--destination", "current", "--temp", "in"}),
        args({"-o", "x", "--wait=yes", "in"}),
        args({"-o", "x", "--temp=1", "in"}),
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        try {
            tools::parseMakeOptions(refused[i]);
            ADD_FAILURE() << "accepted: " << refused[i][2] << " " << refused[i][3];
        } catch (const generic::exception& e) {
            if (i < 3) {  // the message names both options
                EXPECT_NE(e.message().find("--temp"), std::string::npos) << e.message();
                EXPECT_NE(e.message().find("--destination"), std::string::npos) << e.message();
            }
        }
    }
}

// Every combination goes into the block and reads back, for a Windows and a POSIX stub; the
// other settings are not disturbed.
TEST(InstallerStubImage, OptionsRoundTripInBothKindsOfStub) {
    for (bool windows : {true, false}) {
        for (int flags = 0; flags < 4; ++flags) {
            SCOPED_TRACE(std::string(windows ? "windows " : "elf ") + std::to_string(flags));
            auto image =
                windows
                    ? images::windowsImage({{"RUN"}, {"DESTINATION"}, {"OPTIONS", 10, {1033}, 16}})
                    : images::elfImage({{".zipsfx"}, {".zipsfx_options", 16}});
            const std::uint64_t optionsAt = image.offsets[2 - (windows ? 0 : 1)];
            StubSettings settings{"setup.exe /q", Destination::Folder, "C:\\Apps"};
            settings.wait = (flags & 1) != 0;
            settings.temp = (flags & 2) != 0;
            tools::applySettings(image.bytes, settings);
            EXPECT_EQ(image.bytes[optionsAt], (settings.wait ? sfx::kOptionWait : 0) |
                                                  (settings.temp ? sfx::kOptionTemp : 0));
            for (std::size_t i = 1; i < 16; ++i) {
                EXPECT_EQ(image.bytes[optionsAt + i], 0) << i;  // reserved
            }
            const StubSettings back = tools::readSettings(image.bytes);
            EXPECT_EQ(back.run, "setup.exe /q");
            EXPECT_EQ(back.destination, Destination::Folder);
            EXPECT_EQ(back.folder, "C:\\Apps");
            EXPECT_EQ(back.wait, settings.wait);
            EXPECT_EQ(back.temp, settings.temp);
        }
    }
}

// A stub made before the block existed takes the other settings as before, reads as having no
// options, and refuses an option it cannot hold without changing a byte.
TEST(InstallerStubImage, StubWithoutTheBlock) {
    for (bool windows : {true, false}) {
        auto image = windows ? images::windowsImage({{"RUN"}, {"DESTINATION"}})
                             : images::elfImage({{".zipsfx"}});
        EXPECT_NO_THROW(tools::applySettings(image.bytes, {"go", Destination::Temp, ""}));
        const StubSettings back = tools::readSettings(image.bytes);
        EXPECT_EQ(back.run, "go");
        EXPECT_FALSE(back.wait || back.temp);
        for (int flags : {1, 2}) {
            StubSettings settings;
            settings.wait = flags == 1;
            settings.temp = flags == 2;
            const auto before = image.bytes;
            try {
                tools::applySettings(image.bytes, settings);
                ADD_FAILURE() << "an option was accepted without a block";
            } catch (const generic::exception& e) {
                EXPECT_NE(e.message().find("OPTIONS"), std::string::npos) << e.message();
            }
            EXPECT_EQ(image.bytes, before);
        }
    }
}

std::string field(const std::vector<tools::InfoLine>& lines, const std::string& label) {
    for (const auto& line : lines) {
        if (line.label == label) {
            return line.value;
        }
    }
    return "(no line " + label + ")";
}

TEST(Info, TellsWhatAMadeFileWillDo) {
    testsupport::TempDir dir;
    const std::string stub = dir / "stub";
    auto image = images::elfImage({{".zipsfx"}, {".zipsfx_options", 16}, {".pad", 3000}});
    testsupport::writeFile(stub, image.bytes);
    fs::create_directories(dir / "app");
    testsupport::writeFile(dir / "app/setup.sh", "#!/bin/sh\n");
    testsupport::writeFile(dir / "app/data", std::string(5000, 'd'));

    struct Case {
        std::vector<std::string> options;
        const char* run;
        const char* destination;
        const char* wait;
        const char* temp;
        const char* password = "not needed";
    };
    testsupport::writeFile(dir / "pw", "secret\n");
    const Case cases[] = {
        {{}, "nothing", "the current folder", "no", "no"},
        // The folder entry carries no data and is not encrypted.
        {{"--password-file", dir / "pw"},
         "nothing",
         "the current folder",
         "no",
         "no",
         "needed (2 encrypted entries)"},
        {{"--run", "app/setup.sh a b", "--wait", "--destination", "/opt/x"},
         "app/setup.sh a b",
         "/opt/x",
         "yes: exits with the program's exit code",
         "no"},
        {{"--run", "app/setup.sh", "--temp"},
         "app/setup.sh",
         "a new private folder under the temporary folder, deleted afterwards",
         "yes (with temp): exits with the program's exit code",
         "yes"},
        {{"--destination", "system"}, "nothing", "the system folder", "no", "no"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = {"-o", dir / "made.sfx", "--stub", stub};
        words.insert(words.end(), c.options.begin(), c.options.end());
        words.push_back(dir / "app");
        std::ostringstream out;
        std::ostringstream log;
        tools::makeArchive(tools::parseMakeOptions(words), out, log);
        const auto lines = tools::describeFile(dir / "made.sfx");
        SCOPED_TRACE(c.run);
        EXPECT_EQ(field(lines, "stub").rfind("POSIX (ELF 64-bit", 0), 0u) << field(lines, "stub");
        const std::size_t stubSize = (image.bytes.size() + 511) / 512 * 512;
        EXPECT_NE(field(lines, "stub")
                      .find(", " + std::to_string(stubSize / 1000) + "," +
                            std::to_string(stubSize % 1000 + 1000).substr(1) + " bytes"),
                  std::string::npos)
            << field(lines, "stub");
        EXPECT_EQ(field(lines, "run"), c.run);
        EXPECT_EQ(field(lines, "destination"), c.destination);
        EXPECT_EQ(field(lines, "wait"), c.wait);
        EXPECT_EQ(field(lines, "temp"), c.temp);
        EXPECT_EQ(field(lines, "signed"), "no");
        EXPECT_EQ(field(lines, "password"), c.password);
        EXPECT_EQ(field(lines, "archive").rfind("3 entries, 5,010 bytes, ", 0), 0u)
            << field(lines, "archive");
    }

    std::ostringstream printed;
    tools::printInfo(printed, {{"run", "a\x1b[2Jb"}, {"destination", "x"}});
    EXPECT_EQ(printed.str(), "run:         a\\x1b[2Jb\ndestination: x\n");
}

TEST(Info, RefusesFilesThatAreNotSelfExtracting) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "plain.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    EXPECT_THROW(tools::describeFile(dir / "plain.zip"), generic::exception);
    EXPECT_THROW(tools::describeFile(dir / "missing"), generic::exception);
}

}  // namespace
