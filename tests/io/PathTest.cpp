#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "io/File.h"
#include "io/Folder.h"
#include "io/Path.h"
#include "io/PathName.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "tests/support/PathParts.h"
#include "tests/support/TestSupport.h"

using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// Writes paths with '/' and gives them the native separator.
std::string n(const std::string& path) {
    return testsupport::nativeSeparators(path);
}

}  // namespace

TEST(Path, SplitsIntoFolderNameAndExtension) {
    struct Case {
        std::string path, directory, name, extension;
    };
    const std::vector<Case> cases = {
        {n("dir/sub/name.txt"), n("dir/sub/"), "name", ".txt"},
        {"name", "", "name", ""},
        {n("dir.d/readme"), n("dir.d/"), "readme", ""},  // a dot in a folder starts nothing
        {".profile", "", "", ".profile"},
        {n("dir/.profile"), n("dir/"), "", ".profile"},
        {n("dir/"), n("dir/"), "", ""},
        {"a.b.c", "", "a.b", ".c"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        io::Path path(c.path);
        EXPECT_EQ(path.directory(), c.directory);
        EXPECT_EQ(path.name(), c.name);
        EXPECT_EQ(path.extension(), c.extension);
        EXPECT_EQ(path.directory() + path.name() + path.extension(), path.path());
    }
}

TEST(Path, SeparatorChoiceAndReparsing) {
    io::Path path("a:b:c.d", ':');
    EXPECT_EQ(path.directory(), "a:b:");
    EXPECT_EQ(path.name(), "c");
    path.reset();  // the native separator again, and the parts are computed anew
    EXPECT_EQ(path.directory(), "");
    EXPECT_EQ(path.name(), "a:b:c");
    path.setPath(n("x/y.z"));
    EXPECT_EQ(path.directory(), n("x/"));
    path.setSeparator('y');
    EXPECT_EQ(path.directory(), n("x/y"));
    EXPECT_EQ(path.extension(), ".z");

    // Where the system accepts a second separator, a path written only with it still splits.
    io::Path other(std::string("x") + platform::kOtherSeparator + "y.z");
    EXPECT_EQ(other.directory(),
              platform::kAlternativeSeparator ? std::string("x") + platform::kOtherSeparator : "");
}

TEST(PathParts, KeepsEmptyPieces) {
    struct Case {
        std::string text, separators;
        std::vector<std::string> parts;
    };
    const std::vector<Case> cases = {
        {"a\\b\\c.txt", "\\", {"a", "b", "c.txt"}},
        {"", "\\", {""}},
        {"\\a\\\\b\\", "\\", {"", "a", "", "b", ""}},
        {"a/b\\c", "/\\", {"a", "b", "c"}},
        {"abc", "", {"abc"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        testsupport::PathParts parts(c.text, c.separators);
        EXPECT_EQ(parts.parts(), c.parts);
        EXPECT_EQ(parts.size(), c.parts.size());
    }
}

TEST(PathName, SanitizeDropsForbiddenCharacters) {
    const std::string other(1, platform::kOtherSeparator);
    struct Case {
        std::string before, after;
        bool changed;
    };
    const std::vector<Case> cases = {
        {n("C:/dir/name"), n("C:/dir/name"), false},
#ifdef _WIN32
        {"a?b*c", "abc", true},
        {"q\"<t>|p", "qtp", true},
#else
        // Legal in POSIX names, and kept as unzip keeps them.
        {"a?b*c", "a?b*c", false},
        {"q\"<t>|p", "q\"<t>|p", false},
#endif
        {std::string("tab\there\x1f\x7f", 11), "tabhere\x7f", true},
        {"x" + other + "y", "xy", true},
        // High bytes are parts of UTF-8 letters (here the bytes of \u00c1\u00cd\u00ce\u00cf\u00d0).
        {"\xc3\x81\xc3\x8d\xc3\x8e\xc3\x8f\xc3\x90 ok",
         "\xc3\x81\xc3\x8d\xc3\x8e\xc3\x8f\xc3\x90 ok", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        std::string path = c.before;
        EXPECT_EQ(io::sanitize(path), c.changed);
        EXPECT_EQ(path, c.after);
    }
}

TEST(PathName, TruncateKeepsFolderAndExtension) {
    struct Case {
        std::string path;
        std::size_t maximum;
        std::string result;
        bool changed;
    };
    const std::vector<Case> cases = {
        {n("ab/name.txt"), 11, n("ab/name.txt"), false},
        {n("ab/cdefghijklmnop.txt"), 16, n("ab/cdefghijk.txt"), true},
        // Under 7 characters of room the whole name stays and the end is cut off instead.
        {n("ab/cdefghijklmnop.txt"), 12, n("ab/cdefghijk"), true},
        {n("abcdef/xyzuvw.txt"), 13, n("abcdef/xyzuvw"), true},
        {n("ab/.longextension"), 10, n("ab/.longex"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string path = c.path;
        EXPECT_EQ(io::truncate(path, c.maximum), c.changed);
        EXPECT_EQ(path, c.result);
    }

    std::string longName = n("d/") + std::string(300, 'n') + ".txt";
    EXPECT_TRUE(io::truncate(longName, 259));
    EXPECT_EQ(longName, n("d/") + std::string(253, 'n') + ".txt");

    std::string tight = n("abcdef/x.txt.bak");
    try {
        io::truncate(tight, 12);
        FAIL() << "a folder leaving no room was accepted";
    } catch (const io::Exception& e) {
        EXPECT_EQ(e.message(), "cannot truncate " + n("abcdef/x.txt.bak"));
    }
    EXPECT_EQ(tight, n("abcdef/x.txt.bak"));
}

TEST(PathName, MakeUniqueFindsTheFirstFreeNumber) {
    TempDir dir;
    io::createFolder(dir / "out.d");
    writeFile(dir / "a.txt", "");
    writeFile(dir / n("out.d/readme"), "");
    writeFile(dir / "b.txt", "");
    writeFile(dir / "b_1.txt", "");
    io::createFolder(dir / "b_2.txt");  // a folder is a conflict too
    io::createFolder(dir / "folder");
    struct Case {
        std::string path, result;
        bool changed;
    };
    const std::vector<Case> cases = {
        {dir / "free.txt", dir / "free.txt", false},
        {dir / "a.txt", dir / "a_1.txt", true},
        {dir / n("out.d/readme"), dir / n("out.d/readme_1"), true},
        {dir / "b.txt", dir / "b_3.txt", true},
        {dir / "folder", dir / "folder_1", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string path = c.path;
        EXPECT_EQ(io::makeUnique(path, 999), c.changed);
        EXPECT_EQ(path, c.result);
    }
}

// A taken name at the platform's limit: the stem gives way so that the numbered name fits.
TEST(PathName, MakeUniqueShortensTheStemToFitTheLimit) {
    TempDir dir;
    const std::size_t length = platform::kMaxPath - 3;
    std::string folder = dir.path();
    // Nested folders keep every single name short enough for the file system.
    while (length - folder.size() - 1 > 200) {
        std::size_t name = std::min<std::size_t>(200, length - folder.size() - 60);
        folder += platform::kSeparator + std::string(name, 'f');
    }
    try {
        io::createFolder(folder);
    } catch (const io::Exception& e) {
        // Windows takes 32,767 characters; Wine keeps its files on a host whose own limit
        // (4,096 bytes on Linux) is far below that.
        // The message holds the whole path; its start is enough to say what failed.
        GTEST_SKIP() << "the file system holds no path of " << length
                     << " characters here: " << e.message().substr(0, 80) << "...";
    }
    std::string path = folder + platform::kSeparator;
    path += std::string(length - path.size() - 4, 'x') + ".txt";
    ASSERT_EQ(path.size(), length);
    io::File taken;
    taken.create(path);
    taken.close();

    std::string unique = path;
    EXPECT_TRUE(io::makeUnique(unique, 5));
    EXPECT_EQ(unique, path.substr(0, length - 5) + "_1.txt");
    EXPECT_EQ(unique.size(), platform::kMaxPath - 2);
}

// A name at the file system's name limit still gets its number: the stem gives way, whole
// characters at a time, the extension stays (unless the name is nearly all extension).
TEST(PathName, NumberedNameKeepsWithinTheNameLimit) {
    const std::string e = "\xC3\xA9";  // two bytes, one UTF-16 character
    auto times = [](const std::string& text, std::size_t count) {
        std::string all;
        for (std::size_t i = 0; i < count; ++i) {
            all += text;
        }
        return all;
    };
    const bool bytes = platform::kNameLengthInBytes;
    struct Case {
        std::string name;
        unsigned n;
        std::string numbered;
    };
    const std::vector<Case> cases = {
        {std::string(251, 'a') + ".txt", 1, std::string(249, 'a') + "_1.txt"},
        {std::string(251, 'a') + ".txt", 10, std::string(248, 'a') + "_10.txt"},
        {std::string(255, 'a'), 7, std::string(253, 'a') + "_7"},
        {std::string(200, 'a') + ".txt", 1, std::string(200, 'a') + "_1.txt"},  // room enough
        {"." + std::string(254, 'x'), 1, "_1." + std::string(252, 'x')},
        // 251 bytes of stem: one byte too many for "_1", so a whole two-byte character goes
        // where names count bytes; 126 UTF-16 characters leave room where they count those.
        {times(e, 125) + "x.txt", 1, bytes ? times(e, 124) + "_1.txt" : times(e, 125) + "x_1.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.numbered);
        EXPECT_EQ(io::numberedName(n("dir/") + c.name, c.n), n("dir/") + c.numbered);
    }
}

TEST(PathName, MakeUniqueGivesUpAfterTheLimit) {
    TempDir dir;
    writeFile(dir / "c.dat", "");
    for (const char* taken : {"c_1.dat", "c_2.dat", "c_3.dat"}) {
        writeFile(dir / taken, "");
    }
    struct Case {
        unsigned limit;
        std::string lastTried;
    };
    for (const Case& c : {Case{3, dir / "c_3.dat"}, Case{0, dir / "c.dat"}}) {
        SCOPED_TRACE(c.limit);
        std::string path = dir / "c.dat";
        try {
            io::makeUnique(path, c.limit);
            ADD_FAILURE() << "no exception";
        } catch (const io::Exception& e) {
            EXPECT_EQ(e.message(),
                      "io::Path::makeUnique() cannot resolve name conflict for " + c.lastTried);
        }
        EXPECT_EQ(path, dir / "c.dat");
    }
}

TEST(PathName, MakeAbsoluteRemovesDotsTextually) {
    std::string current = std::filesystem::current_path().string();
    const std::string sep(1, platform::kSeparator);
    struct Case {
        std::string path, result;
    };
    const std::vector<Case> cases = {
        {"", current},
        {".", current},
        {n("x/./y/../z"), current + n("/x/z")},
        {n("x/"), current + n("/x/")},  // a trailing separator stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string path = c.path;
        io::makeAbsolute(path);
        EXPECT_EQ(path, c.result);
    }

    TempDir dir;
    std::string path = dir / n("a/./b/../../c/.");
    io::makeAbsolute(path);
    EXPECT_EQ(path, dir / "c");

#ifndef _WIN32
    // ".." takes away the name before it, even when that name is a link to elsewhere.
    io::createFolder(dir / n("real/deep"));
    std::filesystem::create_directory_symlink(dir / n("real/deep"), dir / "link");
    std::string throughLink = dir / n("link/..");
    io::makeAbsolute(throughLink);
    EXPECT_EQ(throughLink, dir.path());
#endif
}

// A name too long for the platform is shortened to fit, keeping its extension.
TEST(PathName, MakeAbsoluteShortensAnOverlongName) {
    TempDir dir;
    std::string path = dir / (std::string(platform::kMaxPath + 40, 'n') + ".txt");
    io::makeAbsolute(path);
    EXPECT_EQ(path.size(), platform::kMaxPathLength);
    EXPECT_EQ(path.substr(0, dir.path().size() + 1), dir.path() + platform::kSeparator);
    EXPECT_EQ(path.substr(path.size() - 4), ".txt");
}

// A relative name that fits the limit but whose absolute form does not cannot be resolved.
TEST(PathName, MakeAbsoluteFailsBeyondTheLimit) {
    std::string relative;
    while (relative.size() + 2 < platform::kMaxPathLength) {
        relative += n("d/");
    }
    relative += "f";
    std::string path = relative;
    try {
        io::makeAbsolute(path);
        FAIL() << "resolved " << path;
    } catch (const io::Exception& e) {
        EXPECT_EQ(e.message(), "cannot resolve " + relative + " to an absolute name");
    }
    EXPECT_EQ(path, relative);
}
