// Stored names from every kind of producer, extracted through the archive object: which rule
// decodes each (bit 11, Info-ZIP's Unicode Path field, Unix-made UTF-8, code page 437) and what
// the name cleaner makes of the result, compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>

#include "format/zip/NameDecoding.h"
#include "platform/Platform.h"
#include "tests/support/ZipBuilder.h"
#include "tests/format/zip/ZipTestSupport.h"

namespace {

using ziptest::build;
using ziptest::EntryPlan;
using ziptest::Extraction;

constexpr std::uint16_t kUtf8 = 0x0800;
constexpr std::uint16_t kMadeOnDos = 20;
constexpr std::uint16_t kMadeOnUnix = (3 << 8) | 30;
constexpr std::uint16_t kMadeOnMac = (19 << 8) | 30;
const std::string kBad = "\xef\xbf\xbd";  // U+FFFD

// Info-ZIP's Unicode extra field (version 1) for stored bytes; crcOffset != 0 ties it to other
// bytes, as when a tool renamed the entry without knowing the field.
std::string unicodeExtra(std::uint16_t tag, const std::string& stored, const std::string& utf8,
                         std::uint32_t crcOffset = 0) {
    std::string extra;
    testsupport::put16(extra, 0x5455);  // an unrelated field first: the search must skip it
    testsupport::put16(extra, 1);
    extra += '\x01';
    testsupport::put16(extra, tag);
    testsupport::put16(extra, static_cast<std::uint32_t>(5 + utf8.size()));
    extra += '\x01';
    testsupport::put32(extra, testsupport::crc32(stored) + crcOffset);
    return extra + utf8;
}

struct NameCase {
    const char* what;
    std::string stored;
    std::uint16_t flags;
    std::uint16_t madeBy;
    std::string extra;
    std::string expected;  // relative path, '/' separated
};

std::vector<NameCase> nameCases() {
    const std::string privet = "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";  // Привет
    return {
        {"bit 11", "caf\xc3\xa9.txt", kUtf8, kMadeOnDos, "", "caf\xc3\xa9.txt"},
        {"bit 11, bytes of the old ANSI list",
         "\xc3\x81"
         "baco \xe8\xaa\x9e.txt",
         kUtf8, kMadeOnDos, "",
         "\xc3\x81"
         "baco \xe8\xaa\x9e.txt"},
        {"Unicode Path field, CRC matches", "priv\x82t.txt", 0, kMadeOnDos,
         unicodeExtra(format::zip::kUnicodePathTag, "priv\x82t.txt", privet + ".txt"),
         privet + ".txt"},
        {"Unicode Path field of other bytes", "caf\x82-2.txt", 0, kMadeOnDos,
         unicodeExtra(format::zip::kUnicodePathTag, "caf\x82-2.txt", "stale.txt", 1),
         "caf\xc3\xa9-2.txt"},
        {"Unix, UTF-8 without bit 11", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt", 0, kMadeOnUnix,
         "", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt"},
        {"macOS, decomposed and kept so", "e\xcc\x81-nfd.txt", 0, kMadeOnMac, "",
         "e\xcc\x81-nfd.txt"},
        {"code page 437", "\x8erger \x82t\x82.txt", 0, kMadeOnDos, "",
         "\xc3\x84rger \xc3\xa9t\xc3\xa9.txt"},
        {"Unix, but not UTF-8", "\x8e\x99.txt", 0, kMadeOnUnix, "", "\xc3\x84\xc3\x96.txt"},
        {"bit 11, broken bytes", "broken\xff\xc3.txt", kUtf8, kMadeOnDos, "",
         "broken" + kBad + kBad + ".txt"},
        {"beyond the BMP", "\xf0\x9f\x98\x80\xf0\x9f\x98\x8d.txt", kUtf8, kMadeOnUnix, "",
         "\xf0\x9f\x98\x80\xf0\x9f\x98\x8d.txt"},
        {"look-alike separators",
         "a\xe2\x88\x95"
         "b\xef\xbc\x8f"
         "c.txt",
         kUtf8, kMadeOnUnix, "",
         "a\xe2\x88\x95"
         "b\xef\xbc\x8f"
         "c.txt"},
        {"overlong '..', bit 11", "\xc0\xae\xc0\xae/evil.txt", kUtf8, kMadeOnUnix, "",
         kBad + kBad + kBad + kBad + "/evil.txt"},
        {"overlong '..', code page 437", "\xc0\xae\xc0\xae/evil-437.txt", 0, kMadeOnDos, "",
         "\xe2\x94\x94\xc2\xab\xe2\x94\x94\xc2\xab/evil-437.txt"},
        {"control characters", "ctl\x1b[31m\r\x7f.txt", kUtf8, kMadeOnUnix, "", "ctl[31m.txt"},
    };
}

// The output path the reader reported, below the destination, with '/' separators.
std::string relative(const std::string& path, const std::string& destination) {
    std::string below = path.substr(destination.size() + 1);
    std::replace(below.begin(), below.end(), platform::kSeparator, '/');
    return below;
}

}  // namespace

TEST(NameDecoding, EachProducersNamesExtractAsExpected) {
    const std::vector<NameCase> cases = nameCases();
    std::vector<EntryPlan> plans;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const NameCase& c = cases[i];
        EntryPlan plan{c.stored, std::to_string(i)};
        plan.extra = c.extra;
        plan.alterCentral = [c](format::zip::CentralHeader& central) {
            central.flags = static_cast<std::uint16_t>(central.flags | c.flags);
            central.versionMadeBy = c.madeBy;
        };
        plans.push_back(plan);
    }
    Extraction x(build(plans).bytes);
    ASSERT_EQ(x.run(), "");
    const auto& reported = x.events().itemNames;
    ASSERT_EQ(reported.size(), cases.size());
    std::map<std::string, std::string> expectedTree;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(relative(reported[i], x.out()), cases[i].expected) << cases[i].what;
        const std::string& name = cases[i].expected;
        if (name.find('/') != std::string::npos) {
            expectedTree[name.substr(0, name.find('/') + 1)] = "";
        }
        expectedTree[name] = std::to_string(i);
    }
#ifndef _WIN32
    // The bytes on disk are the UTF-8 names (the Windows file names are the wide seam's to test).
    EXPECT_EQ(x.tree(), expectedTree);
#endif
}

TEST(NameDecoding, CommentsUseTheirOwnField) {
    const std::string stored = "r\x82sum\x82";
    const std::string resume = "r\xc3\xa9sum\xc3\xa9";
    const std::string commentField =
        unicodeExtra(format::zip::kUnicodeCommentTag, stored, "R\xc3\x89SUM\xc3\x89");
    EXPECT_EQ(format::zip::decodeStoredText(stored, 0, kMadeOnDos, commentField,
                                            format::zip::kUnicodeCommentTag),
              "R\xc3\x89SUM\xc3\x89");
    // A comment field does not name the entry, and a name field does not replace a comment.
    EXPECT_EQ(format::zip::decodeStoredText(stored, 0, kMadeOnDos, commentField,
                                            format::zip::kUnicodePathTag),
              resume);
    // A field cut short is not read past its end.
    std::string cut = commentField.substr(0, commentField.size() - 2);
    EXPECT_EQ(
        format::zip::decodeStoredText(stored, 0, kMadeOnDos, cut, format::zip::kUnicodeCommentTag),
        resume);
}

TEST(NameDecoding, NamesTooLongForThisSystemAreRefusedBeforeAnythingIsWritten) {
    if (platform::kMaxNameBytes == 0) {
        GTEST_SKIP() << "this platform's file layer handles long names itself";
    }
    const std::string longName = "deep/" + std::string(platform::kMaxNameBytes + 1, 'n');
    std::string longPath;
    while (longPath.size() <= platform::kMaxPathLength) {
        longPath += std::string(200, 'p') + "/";
    }
    for (const std::string& name : {longName, longPath + "x.txt"}) {
        Extraction x(build({{"first.txt", "1"}, {name, "2"}, {"last.txt", "3"}}).bytes);
        const std::string failure = x.run();
        EXPECT_NE(failure.find("cannot extract " + name), std::string::npos) << failure;
        EXPECT_TRUE(x.tree().empty());
        EXPECT_TRUE(x.events().itemNames.empty());
    }
}
