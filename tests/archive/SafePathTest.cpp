// How stored names are split and mended so that no component can leave its folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/SafePath.h"
#include "platform/Platform.h"

namespace {

// Removes control characters and '?', like the file layer's cleaner does among others.
bool dropControlAndQuestion(std::string& name) {
    std::string kept;
    for (char c : name) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != '?') {
            kept += c;
        }
    }
    bool changed = kept != name;
    name = kept;
    return changed;
}

std::string joined(const std::vector<std::string>& components) {
    std::string text;
    for (const auto& component : components) {
        text += (text.empty() ? "" : "/") + component;
    }
    return text;
}

struct Case {
    std::string stored;
    std::string cleaned;    // with the cleaner
    std::string uncleaned;  // without it
};

TEST(SafeComponents, HostileAndOddNamesStayBelowTheirFolder) {
    const std::vector<Case> cases = {
        {"../evil.txt", "evil.txt", "evil.txt"},
        {"a/../../evil.txt", "a/evil.txt", "a/evil.txt"},
        {"/abs/evil.txt", "abs/evil.txt", "abs/evil.txt"},
        {"C:\\evil.txt", "evil.txt", "evil.txt"},
        {"..\\evil.txt", "evil.txt", "evil.txt"},
        {"C:evil.txt", "evil.txt", "evil.txt"},
        {"/C:/evil.txt", "evil.txt", "evil.txt"},
        {"a/D:/x", "a/D_/x", "a/D_/x"},
        {"nul.txt", "_nul.txt", "_nul.txt"},
        {"a/con/b.txt", "a/_con/b.txt", "a/_con/b.txt"},
        // A letter and a colon open the name: a drive, dropped. Elsewhere a colon would name an
        // alternate data stream.
        {"x:y.txt", "y.txt", "y.txt"},
        {"a:b:c", "b_c", "b_c"},
        {"ab:stream.txt", "ab_stream.txt", "ab_stream.txt"},
        {"dir/file.txt:ads", "dir/file.txt_ads", "dir/file.txt_ads"},
        // Cleaning runs first: what it leaves is judged.
        {".\x01./evil.txt", "evil.txt", ".\x01/evil.txt"},
        {"a/.\x1f./..\x02/b", "a/b", "a/.\x1f/..\x02/b"},
        {"...", "", ""},
        {".. /evil.txt", "evil.txt", "evil.txt"},
        {"... /evil.txt", "evil.txt", "evil.txt"},
        {"a/. . ./b", "a/b", "a/b"},
        {"docs/a. ", "docs/a", "docs/a"},
        {"\\\\server\\share\\x.txt", "server/share/x.txt", "server/share/x.txt"},
        {"\\\\?\\C:\\x.txt", "x.txt", "x.txt"},
        {"//./C:/x.txt", "x.txt", "x.txt"},
        {"\\\\.\\PhysicalDrive0", "PhysicalDrive0", "PhysicalDrive0"},
        {"a//b/./c/", "a/b/c", "a/b/c"},
        {"", "", ""},
        {"/", "", ""},
        {".", "", ""},
        {"docs/readme.txt", "docs/readme.txt", "docs/readme.txt"},
        {" lead/.hidden", " lead/.hidden", " lead/.hidden"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(joined(vessel5::safeComponents(c.stored, dropControlAndQuestion)), c.cleaned)
            << "cleaned: " << c.stored;
        EXPECT_EQ(joined(vessel5::safeComponents(c.stored, nullptr)), c.uncleaned)
            << "as stored: " << c.stored;
    }
}

TEST(SafeComponents, EveryComponentProducedIsSafe) {
    const std::vector<std::string> names = {
        "../a", "C:b", "nul", "x:y", "...", "a/ . /b", "\\\\?\\UNC\\s\\x", "COM1.", "lpt3 .txt"};
    for (const auto& name : names) {
        for (const auto& component : vessel5::safeComponents(name, nullptr)) {
            EXPECT_TRUE(vessel5::isSafeComponent(component)) << name << " -> " << component;
        }
    }
}

TEST(CleanNameCharacters, WorksOnCharactersNeverOnBytesOfLongerOnes) {
    const std::string r = "\xef\xbf\xbd";  // U+FFFD
    struct NameCase {
        std::string stored;
        std::string posix;
        std::string windows;
    };
    const std::vector<NameCase> cases = {
        // Letters whose UTF-8 holds 81, 8D, 8E, 8F, 90, 9D, 9E or BF bytes stay whole.
        {"\xc3\x81"
         "baco \xc3\x8e\xc3\x90 \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",
         "\xc3\x81"
         "baco \xc3\x8e\xc3\x90 \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",
         "\xc3\x81"
         "baco \xc3\x8e\xc3\x90 \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
        {"e\xcc\x81 \xf0\x9f\x98\x8d \xc2\xbf", "e\xcc\x81 \xf0\x9f\x98\x8d \xc2\xbf",
         "e\xcc\x81 \xf0\x9f\x98\x8d \xc2\xbf"},
        {"tab\there\x1b[0m\x7f\r.txt", "tabhere[0m.txt", "tabhere[0m.txt"},
        {"a<b>c:d\"e|f?g*h", "a<b>c_d\"e|f?g*h", "a_b_c_d_e_f_g_h"},
        {"bad\xff.txt", "bad" + r + ".txt", "bad" + r + ".txt"},
        // Look-alike separators and dots are letters like any other: no split, no climbing.
        {"..\xe2\x88\x95..\xef\xbc\x8f\xe2\x80\xa4\xe2\x80\xa4",
         "..\xe2\x88\x95..\xef\xbc\x8f\xe2\x80\xa4\xe2\x80\xa4",
         "..\xe2\x88\x95..\xef\xbc\x8f\xe2\x80\xa4\xe2\x80\xa4"},
        // An overlong "../" is no dot and no separator.
        {"\xc0\xae\xc0\xae\xc0\xafx", r + r + r + r + r + r + "x", r + r + r + r + r + r + "x"},
        {"\x01\x02/x", "x", "x"},
    };
    for (const NameCase& c : cases) {
#ifdef _WIN32
        const std::string& expected = c.windows;
#else
        const std::string& expected = c.posix;
#endif
        EXPECT_EQ(joined(vessel5::safeComponents(c.stored, vessel5::cleanNameCharacters)), expected)
            << c.stored;
    }
}

TEST(PathLengthProblem, RefusesNamesAndPathsThePlatformCannotCreate) {
    if (platform::kMaxNameBytes == 0) {
        GTEST_SKIP() << "this platform's file layer handles long names itself";
    }
    const std::string longest(platform::kMaxNameBytes, 'n');
    EXPECT_EQ(vessel5::pathLengthProblem("/d/", {"a", longest}), "");
    EXPECT_NE(vessel5::pathLengthProblem("/d/", {longest + "n"}), "");
    // Bytes count, not characters: two-byte letters fill a name at half the count.
    std::string letters;
    for (std::size_t i = 0; i <= platform::kMaxNameBytes / 2; ++i) {
        letters += "\xc3\xa9";
    }
    EXPECT_NE(vessel5::pathLengthProblem("", {letters}), "");

    // The prefix, the components and their separators add up to the whole path's length.
    const std::size_t count = (platform::kMaxPathLength + 1) / 101;
    std::vector<std::string> components(count, std::string(100, 'p'));
    components.back() += std::string(platform::kMaxPathLength - (count * 101 - 1), 'p');
    EXPECT_EQ(vessel5::pathLengthProblem("", components), "");
    EXPECT_NE(vessel5::pathLengthProblem("/", components), "");
}

TEST(ReservedDeviceNames, AnyCaseWithOrWithoutExtension) {
    const std::vector<std::string> reserved = {
        "CON",  "con",  "Prn.txt", "AUX",    "nul.tar.gz", "NUL .txt", "COM1",           "com9.log",
        "LPT1", "lpt9", "COM0",    "CONIN$", "conout$",    "COM\xb9",  "LPT\xc2\xb2.txt"};
    const std::vector<std::string> ordinary = {"CONSOLE",  "nullable.txt", "COM10", "LPT", "COMA",
                                               "_nul.txt", "a.nul",        "xcon",  ""};
    for (const auto& name : reserved) {
        EXPECT_TRUE(vessel5::isReservedDeviceName(name)) << name;
    }
    for (const auto& name : ordinary) {
        EXPECT_FALSE(vessel5::isReservedDeviceName(name)) << name;
    }
}

TEST(SafeComponent, JudgesTheNameAsWindowsWouldUseIt) {
    const std::vector<std::string> unsafe = {"",    ".",   "..",   "...", ".. ",    " ",
                                             "a:b", "a/b", "a\\b", "nul", "Con.txt"};
    const std::vector<std::string> safe = {"a", ".a", "..a", "a.", "a b", "_nul", "x_y.txt"};
    for (const auto& name : unsafe) {
        EXPECT_FALSE(vessel5::isSafeComponent(name)) << "'" << name << "'";
    }
    for (const auto& name : safe) {
        EXPECT_TRUE(vessel5::isSafeComponent(name)) << "'" << name << "'";
    }
}

}  // namespace
