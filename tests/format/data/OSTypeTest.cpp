#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Exception.h"
#include "format/data/OSType.h"
#include "stream/MemoryStream.h"

using format::data::OSType;

TEST(OSType, PacksTextFirstCharacterHighest) {
    struct Case {
        std::string text;
        std::uint32_t value;
    };
    const std::vector<Case> cases = {
        {"TEXT", 0x54455854},   {"ab", 0x61622020},         {"", 0x20202020},
        {"LONGER", 0x4C4F4E47}, {"\xFF\x80xy", 0xFF807879},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(OSType(c.text).value(), c.value);
    }
    OSType unknown;
    EXPECT_EQ(unknown.text(), "????");
    EXPECT_TRUE(unknown.isValid());
    EXPECT_EQ(unknown.size(), 4u);
}

TEST(OSType, ReadEndsAtAZeroByteAndWriteRoundTrips) {
    stream::MemoryInput input(std::vector<std::uint8_t>{'T', 'X', 0, 'Q', 'A', 'B', 'C', 'D'});
    OSType code;
    code.read(input);
    EXPECT_EQ(code.text(), "TX  ");
    code.read(input);
    EXPECT_EQ(code.value(), 0x41424344u);

    stream::MemoryOutput output;
    code.write(output);
    EXPECT_EQ(output.text(), "ABCD");
}

TEST(OSType, ReadRefusesFewerThanFourBytes) {
    stream::MemoryInput input(std::string("abc"));
    OSType code("KEEP");
    try {
        code.read(input);
        FAIL() << "read three bytes as a type code";
    } catch (const format::Exception& e) {
        EXPECT_EQ(e.kind(), "format");
        EXPECT_EQ(e.message(),
                  "format::data::OSType::read() cannot read from a stream with fewer than four "
                  "characters");
    }
    EXPECT_EQ(code.text(), "KEEP");
}
