#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "base/Exception.h"
#include "base/Version.h"
#include "sfx/Layout.h"
#include "tests/support/TestSupport.h"
#include "tests/tools/zipsfx/Images.h"
#include "tools/zipsfx/StubVersion.h"

namespace {

constexpr std::uint32_t kNoteType = 7;      // SHT_NOTE
constexpr std::uint32_t kVersionType = 16;  // RT_VERSION

// A note as the linker leaves it: sizes and type, then name and descriptor, padded to 4 bytes.
struct Note {
    std::string owner = std::string(ZIPSFX_VERSION_NOTE_OWNER, sizeof(ZIPSFX_VERSION_NOTE_OWNER));
    std::string descriptor = std::string("1.2.3", 6);
    std::uint32_t type = ZIPSFX_VERSION_NOTE_TYPE;
    // Written in the header instead of the real sizes, when set.
    std::uint32_t nameSize = 0;
    std::uint32_t descriptorSize = 0;
};

std::vector<std::uint8_t> elfWithNote(const Note& n, bool wide, bool big,
                                      std::uint32_t sectionSize = 32) {
    auto image = images::elfImage(
        {{".data", 16}, {ZIPSFX_VERSION_NOTE_SECTION, sectionSize, kNoteType}}, wide, big);
    // The note's bytes, cut at the section's end: what follows the section stays intact.
    std::string note(12, '\0');
    const std::uint32_t nameSize = n.nameSize ? n.nameSize : n.owner.size();
    const std::uint32_t descSize = n.descriptorSize ? n.descriptorSize : n.descriptor.size();
    const std::uint32_t header[] = {nameSize, descSize, n.type};
    for (int word = 0; word < 3; ++word) {
        for (int i = 0; i < 4; ++i) {
            note[4 * word + i] = static_cast<char>(header[word] >> (big ? 8 * (3 - i) : 8 * i));
        }
    }
    std::string name = n.owner;
    name.resize((name.size() + 3) & ~std::size_t(3), '\0');
    note += name + n.descriptor;
    note.resize(std::min<std::size_t>(note.size(), sectionSize));
    auto& bytes = image.bytes;
    std::copy(note.begin(), note.end(), bytes.begin() + static_cast<long>(image.offsets[1]));
    return bytes;
}

TEST(StubVersion, ReadsTheNoteInEveryElfFlavour) {
    for (bool wide : {false, true}) {
        for (bool big : {false, true}) {
            SCOPED_TRACE(std::string(wide ? "64" : "32") + (big ? " big" : " little"));
            EXPECT_EQ(tools::stubVersion(elfWithNote(Note(), wide, big)),
                      std::optional<std::string>("1.2.3"));
        }
    }
}

// Each of these is some other note, or a damaged one: no version, and nothing read past the
// section (it is followed by the section name table, which holds zero-terminated text).
TEST(StubVersion, ForeignOrDamagedNotesGiveNoVersion) {
    struct Case {
        const char* what;
        Note note;
        std::uint32_t sectionSize;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, auto change, std::uint32_t size = 32) {
        Note n;
        change(n);
        cases.push_back({what, n, size});
    };
    add("another owner", [](Note& n) { n.owner = std::string("GNU\0\0\0\0", 7); });
    add("another type", [](Note& n) { n.type = 3; });
    add("descriptor past the section", [](Note& n) { n.descriptorSize = 40; });
    add("name size that lies", [](Note& n) { n.nameSize = 6; });
    add("no terminating zero", [](Note& n) { n.descriptor = "1.2.3"; });
    add("control character", [](Note& n) { n.descriptor = std::string("1.2\n3", 6); });
    add("empty text", [](Note& n) { n.descriptor = std::string(1, '\0'); });
    add(
        "section too short for the header", [](Note&) {}, 8);
    add(
        "section too short for the text", [](Note&) {}, 22);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tools::stubVersion(elfWithNote(c.note, true, false, c.sectionSize)),
                  std::nullopt);
    }
    auto none = images::elfImage({{".data", 16}, {".zipsfx"}});
    EXPECT_EQ(tools::stubVersion(none.bytes), std::nullopt);
    EXPECT_THROW(tools::stubVersion(testsupport::bytes("not an executable")), generic::exception);
}

// A version resource, written as a resource compiler writes one.
class VersionBlock {
  public:
    // A block with a text value (type 1), or with the given binary value (type 0).
    static std::string text(const std::string& key, const std::string& value) {
        std::string v = utf16(value);
        return block(key, v, static_cast<std::uint16_t>(v.size() / 2), 1, {});
    }
    static std::string parent(const std::string& key, const std::vector<std::string>& children,
                              const std::string& value = {}) {
        return block(key, value, static_cast<std::uint16_t>(value.size()), 0, children);
    }

  private:
    static std::string utf16(const std::string& text) {
        std::string out;
        for (char c : text) {
            out += c;
            out += '\0';
        }
        out += std::string(2, '\0');
        return out;
    }
    static void pad(std::string& out) { out.resize((out.size() + 3) & ~std::size_t(3), '\0'); }
    static std::string block(const std::string& key, const std::string& value,
                             std::uint16_t valueLength, std::uint16_t type,
                             const std::vector<std::string>& children) {
        std::string out(6, '\0');
        out += utf16(key);
        pad(out);
        out += value;
        for (const std::string& child : children) {
            pad(out);
            out += child;
        }
        const std::size_t length = out.size();
        out[0] = static_cast<char>(length & 0xff);
        out[1] = static_cast<char>(length >> 8);
        out[2] = static_cast<char>(valueLength & 0xff);
        out[3] = static_cast<char>(valueLength >> 8);
        out[4] = static_cast<char>(type);
        return out;
    }
};

std::string versionResource(const std::vector<std::string>& strings) {
    const std::string fixed(52, '\x01');  // VS_FIXEDFILEINFO, unread
    return VersionBlock::parent(
        "VS_VERSION_INFO",
        {VersionBlock::parent("StringFileInfo", {VersionBlock::parent("000004b0", strings)}),
         VersionBlock::parent("VarFileInfo", {})},
        fixed);
}

std::vector<std::uint8_t> peWithVersion(const std::string& resource, bool wide,
                                        std::uint32_t room = 0) {
    const std::uint32_t size = room ? room : static_cast<std::uint32_t>(resource.size());
    auto image = images::windowsImage({{"RUN"}, {"1", kVersionType, {0}, size}}, wide);
    for (std::size_t i = 0; i < resource.size() && i < size; ++i) {
        image.bytes[image.offsets[1] + i] = static_cast<std::uint8_t>(resource[i]);
    }
    return image.bytes;
}

TEST(StubVersion, ReadsItsStringFromTheVersionResource) {
    const std::string resource = versionResource({VersionBlock::text("ProductName", "zipsfx"),
                                                  VersionBlock::text("FileVersion", "7.7.7"),
                                                  VersionBlock::text(ZIPSFX_VERSION_KEY, "1.2.3")});
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "PE32+" : "PE32");
        EXPECT_EQ(tools::stubVersion(peWithVersion(resource, wide)),
                  std::optional<std::string>("1.2.3"));
    }
}

TEST(StubVersion, VersionResourcesWithoutItsStringOrDamagedGiveNoVersion) {
    const std::string ours = VersionBlock::text(ZIPSFX_VERSION_KEY, "1.2.3");
    // A shipper's own resource, written without the string.
    const std::string branded = versionResource({VersionBlock::text("ProductVersion", "4.0")});
    std::string longer = versionResource({ours});
    // The string's block claims more than its parents hold.
    std::string lying = longer;
    const std::size_t key = lying.find(std::string("Z\0i\0p", 5));
    ASSERT_NE(key, std::string::npos);
    lying[key - 6] = static_cast<char>(0xf0);
    // The whole resource claims more than the directory gives it.
    std::string cut = longer.substr(0, longer.size() - 8);
    const struct {
        const char* what;
        std::string resource;
        std::uint32_t room;
    } cases[] = {
        {"a shipper's resource", branded, 0},
        {"a string block past its parent", lying, 0},
        {"a resource cut short", longer, static_cast<std::uint32_t>(cut.size())},
        {"an empty version resource", std::string(), 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tools::stubVersion(peWithVersion(c.resource, false, c.room)), std::nullopt);
    }
    // The same resource whole, as a check on the cases above.
    EXPECT_EQ(tools::stubVersion(peWithVersion(longer, false)),
              std::optional<std::string>("1.2.3"));
}

// The stubs this build made carry the project's version, also with an archive behind them.
TEST(StubVersion, BuiltStubsCarryTheProjectVersion) {
    const char* build = std::getenv("ZIPSFX_BUILD_DIR");
    if (build == nullptr) {
        GTEST_SKIP() << "ZIPSFX_BUILD_DIR is not set (run through ctest)";
    }
    int found = 0;
    for (const char* name : {"zipsfx-stub", "zipsfx-stub.exe"}) {
        const std::string path = std::string(build) + "/" + name;
        if (!testsupport::fileExists(path)) {
            continue;
        }
        SCOPED_TRACE(path);
        ++found;
        auto bytes = testsupport::readFile(path);
        EXPECT_EQ(tools::stubVersion(bytes), std::optional<std::string>(ZIPSFX_VERSION));
        bytes.resize(bytes.size() + 4096, 'P');
        EXPECT_EQ(tools::stubVersion(bytes), std::optional<std::string>(ZIPSFX_VERSION));
    }
    if (found == 0) {
        GTEST_SKIP() << "no stub built in " << build;
    }
}

}  // namespace
