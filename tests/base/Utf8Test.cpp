// UTF-8 checking, repair and the escaping of text for a terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Utf8.h"

namespace {

const std::string kReplacement = "\xef\xbf\xbd";

TEST(Utf8, RepairKeepsValidSequencesAndReplacesEachBadByte) {
    struct Case {
        std::string text;
        std::string repaired;  // equal to text exactly when text is valid
    };
    const std::string r = kReplacement;
    const std::vector<Case> cases = {
        {"plain.txt", "plain.txt"},
        {"\xc3\x81"
         "baco \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e e\xcc\x81 \xf0\x9f\x98\x80",
         "\xc3\x81"
         "baco \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e e\xcc\x81 \xf0\x9f\x98\x80"},
        {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},  // U+10FFFF, the last scalar value
        // Overlong forms of '.' and '/', a surrogate, past U+10FFFF, stray and cut-off bytes.
        {"\xc0\xae\xc0\xae/", r + r + r + r + "/"},
        {"\xe0\x80\xaf", r + r + r},
        {"\xed\xa0\x80", r + r + r},
        {"\xf4\x90\x80\x80", r + r + r + r},
        {"a\x80z", "a" + r + "z"},
        {"caf\xc3", "caf" + r},
        {"\xe6\x97.", r + r + "."},
        {"\xff\xfe", r + r},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(base::repairUtf8(c.text), c.repaired);
        EXPECT_EQ(base::isValidUtf8(c.text), c.repaired == c.text);
    }
}

TEST(Utf8, PrintableTextEscapesControlCharactersOnly) {
    EXPECT_EQ(base::printableText("a\x1b[2Jb\r\n\t\x7f\x01"), "a\\x1b[2Jb\\r\\n\\t\\x7f\\x01");
    EXPECT_EQ(base::printableText("csi\xc2\x9b"
                                  "31m nbsp\xc2\xa0"),
              "csi\\u009b31m nbsp\xc2\xa0");
    EXPECT_EQ(base::printableText("caf\xc3\xa9 \xf0\x9f\x98\x80 a\\b"),
              "caf\xc3\xa9 \xf0\x9f\x98\x80 a\\b");
    EXPECT_EQ(base::printableText("bad\xff"), "bad" + kReplacement);
}

}  // namespace
