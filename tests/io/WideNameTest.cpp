// Names in any script and paths past the classic 260-character limit, through every io call that
// takes a path: folders, create, write, times, attributes, reopen and read, delete. The names on
// disk are compared with an independent reading through std::filesystem.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "io/File.h"
#include "io/Folder.h"
#include "io/PathName.h"
#include "io/TimeUnits.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

using testsupport::TempDir;

namespace {

namespace fs = std::filesystem;

// Folders in three scripts, the file named in a fourth.
const std::vector<std::string> kScripts = {u8"Łukasz", u8"日本語", u8"Привет"};
const std::string kFileName = u8"Ελληνικά 😀.txt";

std::string joined(std::string path, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        path += platform::kSeparator + name;
    }
    return path;
}

// The names found on disk below folder, each as UTF-8 from the system's own form: exactly the
// names written, byte for byte. (The Windows
// runtime's folder listing stops at 260 characters: the end-to-end tests read long paths back.)
std::vector<std::string> namesBelow(const std::string& folder) {
    const fs::path root = fs::u8path(folder);
    std::vector<std::string> names;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        names.push_back(item.path().u8string().substr(root.u8string().size() + 1));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// What the system must hold after the test wrote the file below those folders.
std::vector<std::string> expectedNames(const std::vector<std::string>& folders) {
    std::vector<std::string> expected;
    std::string relative;
    for (const std::string& name : folders) {
        relative = relative.empty() ? name : relative + platform::kSeparator + name;
        expected.push_back(relative);
    }
    expected.push_back(relative + platform::kSeparator + kFileName);
    std::sort(expected.begin(), expected.end());
    return expected;
}

}  // namespace

TEST(WideNames, NonLatinFoldersAndLongPathsRoundTrip) {
    TempDir dir;
    // Nested folders of 100 characters each carry the path past 400 characters.
    std::vector<std::string> deep = kScripts;
    while (joined(dir.path(), deep).size() < 400) {
        deep.push_back(std::string(99, 'd') + std::to_string(deep.size()));
    }
    struct Case {
        const char* what;
        std::vector<std::string> folders;
    };
    const std::vector<Case> cases = {{"non-Latin folders", kScripts}, {"400 characters", deep}};
    constexpr std::uint64_t kTicks = io::ticksFromSeconds(1631152000) + 1234567;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string top = dir / kScripts[0];
        const std::string folder = joined(dir.path(), c.folders);
        const std::string path = joined(folder, {kFileName});
        io::createFolder(folder);
        EXPECT_TRUE(io::isDirectory(folder));

        io::File file;
        file.create(path);
        file.write("payload", 7);
        file.close();
        io::File timed(path);
        timed.setModificationFileTime(kTicks);
        EXPECT_EQ(timed.modificationFileTime(), kTicks);
        EXPECT_EQ(timed.modificationTime(), io::secondsFromTicks(kTicks));
        timed.setReadOnly(true);
        EXPECT_TRUE(timed.isReadOnly());
        timed.setReadOnly(false);

        io::File reread;
        reread.open(path);
        char buffer[16] = {};
        EXPECT_EQ(reread.read(buffer, sizeof buffer), 7u);
        EXPECT_EQ(std::string(buffer, 7), "payload");
        EXPECT_EQ(reread.size(), 7u);
        reread.close();

        std::string absolute = joined(folder, {"..", c.folders.back(), kFileName});
        io::makeAbsolute(absolute);
        EXPECT_EQ(absolute, path);

        if (path.size() < 260) {
            EXPECT_EQ(namesBelow(dir.path()), expectedNames(c.folders));
        }
        reread.unlink();
        EXPECT_FALSE(io::exists(path));
        std::error_code ignored;
        fs::remove_all(fs::u8path(top), ignored);
    }
}
