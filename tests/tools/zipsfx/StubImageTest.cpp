#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/Exception.h"
#include "tests/tools/zipsfx/Images.h"
#include "tests/support/TestSupport.h"
#include "tools/zipsfx/ElfSection.h"
#include "tools/zipsfx/PeResources.h"
#include "tools/zipsfx/StubImage.h"

namespace {

using tools::Destination;
using tools::StubSettings;

const std::vector<images::Resource> kStubResources = {{"RUN"}, {"DESTINATION"}};

std::string textAt(const std::vector<std::uint8_t>& bytes, std::uint64_t offset, std::size_t n) {
    return std::string(bytes.begin() + static_cast<long>(offset),
                       bytes.begin() + static_cast<long>(offset + n));
}

std::string padded(const std::string& text) {
    std::string block = text;
    block.resize(sfx::kSettingsBlockSize, '\0');
    return block;
}

TEST(PeResources, FindsNamedRcDataInBothImageWidths) {
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "PE32+" : "PE32");
        auto image = images::windowsImage(
            {{"RUN"}, {"DESTINATION", 10, {1033}, 300}, {"OTHER", 10, {1033}, 4}}, wide);
        ASSERT_TRUE(tools::isPeImage(image.bytes));
        auto run = tools::findRcData(image.bytes, "RUN");
        ASSERT_EQ(run.size(), 1u);
        EXPECT_EQ(run[0].offset, image.offsets[0]);
        EXPECT_EQ(run[0].size, 261u);
        auto destination =
            tools::findRcData(image.bytes, "destination");  // as the loader: any case
        ASSERT_EQ(destination.size(), 1u);
        EXPECT_EQ(destination[0].offset, image.offsets[1]);
        EXPECT_EQ(destination[0].size, 300u);
        EXPECT_TRUE(tools::findRcData(image.bytes, "RU").empty());
        EXPECT_TRUE(tools::findRcData(image.bytes, "RUNS").empty());
    }
}

TEST(PeResources, OnlyRcDataCountsAndEveryLanguageIsFound) {
    auto image =
        images::windowsImage({{"RUN", 23}, {"RUN", 10, {1033, 1031, 0}}, {"DESTINATION", 10, {0}}});
    auto run = tools::findRcData(image.bytes, "RUN");
    ASSERT_EQ(run.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(run[i].offset, image.offsets[1 + i]);  // not the type-23 resource's data
    }
}

TEST(PeResources, DamagedImagesThrowAndNeverReadOutside) {
    auto image = images::windowsImage(kStubResources);
    // Every cut of the file either still finds the blocks or throws; none reads past the end.
    for (std::size_t cut = 0; cut < image.bytes.size(); cut += 7) {
        std::vector<std::uint8_t> cutImage(image.bytes.begin(),
                                           image.bytes.begin() + static_cast<long>(cut));
        try {
            tools::findRcData(cutImage, "RUN");
        } catch (const generic::exception&) {
        }
    }
    // A data entry that points beyond the section.
    auto broken = image.bytes;
    auto run = tools::findRcData(broken, "RUN");
    ASSERT_EQ(run.size(), 1u);
    for (std::size_t i = 0; i + 4 <= broken.size(); ++i) {
        std::uint32_t v = broken[i] | broken[i + 1] << 8 | broken[i + 2] << 16 |
                          std::uint32_t(broken[i + 3]) << 24;
        if (v == 0x2000 + (run[0].offset - 0x400)) {  // the data entry's RVA
            broken[i + 2] = 0x7F;
        }
    }
    EXPECT_THROW(tools::findRcData(broken, "RUN"), generic::exception);
}

TEST(ElfSection, FindsSectionInEveryClassAndByteOrder) {
    for (bool wide : {false, true}) {
        for (bool big : {false, true}) {
            SCOPED_TRACE(std::string(wide ? "64" : "32") + (big ? " big" : " little"));
            auto image = images::elfImage({{".data", 16}, {".zipsfx"}, {".zipsfx2", 8}}, wide, big);
            auto found = tools::findElfSection(image.bytes, ".zipsfx");
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(found->offset, image.offsets[1]);
            EXPECT_EQ(found->size, 522u);
            EXPECT_FALSE(tools::findElfSection(image.bytes, ".zipsf").has_value());
        }
    }
}

TEST(ElfSection, DamagedOrEmptySectionsThrow) {
    auto nobits = images::elfImage({{".zipsfx", 522, 8}});
    EXPECT_THROW(tools::findElfSection(nobits.bytes, ".zipsfx"), generic::exception);
    auto image = images::elfImage({{".zipsfx"}});
    for (std::size_t cut = 0; cut < image.bytes.size(); cut += 5) {
        std::vector<std::uint8_t> cutImage(image.bytes.begin(),
                                           image.bytes.begin() + static_cast<long>(cut));
        try {
            tools::findElfSection(cutImage, ".zipsfx");
        } catch (const generic::exception&) {
        }
    }
}

TEST(StubImage, WritesBothBlocksIntoWindowsResources) {
    auto image = images::windowsImage(
        {{"RUN", 10, {1033, 1031}}, {"DESTINATION"}, {"CONFIRMATION", 10, {1033}, 16}});
    auto before = image.bytes;
    StubSettings settings{"setup.exe /silent", Destination::Folder, "C:\\Program Files\\App"};
    tools::applySettings(image.bytes, settings);
    EXPECT_EQ(textAt(image.bytes, image.offsets[0], 261), padded("setup.exe /silent"));
    EXPECT_EQ(textAt(image.bytes, image.offsets[1], 261), padded("setup.exe /silent"));
    EXPECT_EQ(textAt(image.bytes, image.offsets[2], 261), padded("\x04"
                                                                 "C:\\Program Files\\App"));
    // Nothing else changes.
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        changed += before[i] != image.bytes[i];
    }
    EXPECT_LE(changed, 3u * 261u);
    EXPECT_EQ(textAt(image.bytes, image.offsets[3], 16), textAt(before, image.offsets[3], 16));
}

TEST(StubImage, WritesDestinationThenRunIntoTheElfSection) {
    auto image = images::elfImage({{".zipsfx"}});
    tools::applySettings(image.bytes, {"run.sh --fast", Destination::Temp, ""});
    EXPECT_EQ(textAt(image.bytes, image.offsets[0], 261), padded(std::string(1, '\x03')));
    EXPECT_EQ(textAt(image.bytes, image.offsets[0] + 261, 261), padded("run.sh --fast"));
    tools::applySettings(image.bytes, {"", Destination::Current, ""});
    EXPECT_EQ(textAt(image.bytes, image.offsets[0], 522), std::string(522, '\0'));
}

TEST(StubImage, SelectorBytes) {
    const std::pair<Destination, char> cases[] = {{Destination::Current, 0},
                                                  {Destination::Windows, 1},
                                                  {Destination::System, 2},
                                                  {Destination::Temp, 3}};
    for (const auto& [destination, byte] : cases) {
        auto image = images::elfImage({{".zipsfx"}});
        tools::applySettings(image.bytes, {"", destination, ""});
        EXPECT_EQ(image.bytes[image.offsets[0]], byte);
        EXPECT_EQ(image.bytes[image.offsets[0] + 1], 0);
    }
}

TEST(StubImage, TextsMustFitTheirBlocks) {
    struct Case {
        StubSettings settings;
        bool fits;
    };
    const Case cases[] = {
        {{std::string(260, 'r'), Destination::Current, ""}, true},  // 260 + zero = 261
        {{std::string(261, 'r'), Destination::Current, ""}, false},
        {{"", Destination::Folder, std::string(259, 'f')}, true},  // selector + 259 + zero
        {{"", Destination::Folder, std::string(260, 'f')}, false},
        {{"", Destination::Folder, ""}, false},
        {{std::string("a\0b", 3), Destination::Current, ""}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.run.size() + c.settings.folder.size());
        for (bool windows : {true, false}) {
            auto image =
                windows ? images::windowsImage(kStubResources) : images::elfImage({{".zipsfx"}});
            auto before = image.bytes;
            if (c.fits) {
                EXPECT_NO_THROW(tools::applySettings(image.bytes, c.settings));
            } else {
                EXPECT_THROW(tools::applySettings(image.bytes, c.settings), generic::exception);
                EXPECT_EQ(image.bytes, before);  // refused before any byte changes
            }
        }
    }
}

TEST(StubImage, RefusesStubsWithoutTheBlocks) {
    std::vector<std::vector<std::uint8_t>> stubs = {
        images::windowsImage({{"RUN"}}).bytes,
        images::windowsImage({{"DESTINATION"}}).bytes,
        images::windowsImage({{"RUN", 6}, {"DESTINATION", 6}}).bytes,  // RT_BITMAP, not RCDATA
        images::elfImage({{".data"}}).bytes,
        images::elfImage({{".zipsfx", 521}}).bytes,
        testsupport::bytes("#!/bin/sh\necho not a stub\n"),
        {},
    };
    for (std::size_t i = 0; i < stubs.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_THROW(tools::applySettings(stubs[i], {}), generic::exception);
    }
}

// The stubs of the build tree, when they have been built: the blocks are where the stub reads them.
TEST(StubImage, RealStubsCarryBothBlocks) {
    const std::string build = testsupport::sourceDir() + "/build";
    std::vector<std::string> paths = {build + "/win32/zipsfx-stub.exe",
                                      build + "/win64/zipsfx-stub.exe",
                                      build + "/native/zipsfx-stub"};
    if (const char* own = std::getenv("ZIPSFX_BUILD_DIR")) {
        paths.push_back(std::string(own) + "/zipsfx-stub");
        paths.push_back(std::string(own) + "/zipsfx-stub.exe");
    }
    int found = 0;
    for (const std::string& path : paths) {
        if (!testsupport::fileExists(path)) {
            continue;
        }
        ++found;
        SCOPED_TRACE(path);
        auto bytes = testsupport::readFile(path);
        std::uint64_t run = 0;
        std::uint64_t destination = 0;
        if (tools::stubKind(bytes) == tools::StubKind::Windows) {
            auto runs = tools::findRcData(bytes, "RUN");
            auto destinations = tools::findRcData(bytes, "DESTINATION");
            ASSERT_EQ(runs.size(), 1u);
            ASSERT_EQ(destinations.size(), 1u);
            EXPECT_EQ(runs[0].size, 261u);
            EXPECT_EQ(destinations[0].size, 261u);
            EXPECT_EQ(textAt(bytes, runs[0].offset, 10), std::string("setup.exe\0", 10));
            run = runs[0].offset;
            destination = destinations[0].offset;
        } else {
            auto section = tools::findElfSection(bytes, ".zipsfx");
            ASSERT_TRUE(section.has_value());
            EXPECT_EQ(section->size, 522u);
            destination = section->offset;
            run = section->offset + 261;
        }
        tools::applySettings(bytes, {"go.exe", Destination::System, ""});
        EXPECT_EQ(textAt(bytes, run, 261), padded("go.exe"));
        EXPECT_EQ(textAt(bytes, destination, 261), padded("\x02"));
    }
    if (found == 0) {
        GTEST_SKIP() << "no stub built under " << build;
    }
}

}  // namespace
