// The judge of link targets: it walks a target as a POSIX system will, on exactly the bytes the
// system is given, and lists the places passed so that the caller can require real folders there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/LinkTarget.h"

namespace {

using Place = std::vector<std::string>;

TEST(LinkTargetTest, TargetsAreWalkedFromTheLinksFolder) {
    struct Case {
        std::string what;
        Place folder;
        std::string target;
        std::string refusal;  // "" when taken
        Place resolved;
        std::vector<Place> passed;
    };
    const Case cases[] = {
        {"beside the link", {"d"}, "t.txt", "", {"d", "t.txt"}, {{"d"}}},
        {"up and down", {"bin"}, "../share/x", "", {"share", "x"}, {{"bin"}, {"share"}}},
        {"to the destination itself", {"d"}, "..", "", {}, {{"d"}}},
        {"dots and doubled slashes", {}, "./a//b/.", "", {"a", "b"}, {{"a"}}},
        {"one step above", {"d"}, "../..", "lies outside the destination", {}, {}},
        {"above, then back in", {}, "../d/x", "lies outside the destination", {}, {}},
        {"absolute", {"d"}, "/etc/passwd", "lies outside the destination", {}, {}},
        {"drive", {"d"}, "C:x", "lies outside the destination", {}, {}},
        {"empty", {"d"}, "", "lies outside the destination", {}, {}},
        // The system reads "..\0x" as "..": the walk must not see a harmless "..\0x".
        {"NUL after ..", {}, std::string("..\0x", 4), "holds a NUL byte", {}, {}},
        {"NUL deeper", {"sub"}, std::string("../..\0y", 7), "holds a NUL byte", {}, {}},
        // A POSIX system takes a backslash as part of a name, Windows as a separator.
        {"backslashes", {"d"}, "..\\..\\etc", "holds a backslash", {}, {}},
        {"a backslash in a name", {"d"}, "a\\b", "holds a backslash", {}, {}},
    };
    for (const Case& c : cases) {
        Place resolved;
        std::vector<Place> passed;
        EXPECT_EQ(vessel5::resolveLinkTarget(c.folder, c.target, resolved, &passed), c.refusal)
            << c.what;
        if (c.refusal.empty()) {
            EXPECT_EQ(resolved, c.resolved) << c.what;
            EXPECT_EQ(passed, c.passed) << c.what;
        }
    }
}

}  // namespace
