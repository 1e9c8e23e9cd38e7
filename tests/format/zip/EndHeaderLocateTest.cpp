// Finding the end record from the end of the input.
#include <gtest/gtest.h>

#include "format/zip/EndHeader.h"
#include "stream/MemoryStream.h"

using format::zip::EndHeader;

namespace {

std::string endRecord(const std::string& comment) {
    EndHeader h;
    h.totalEntries = 1;
    h.comment = comment;
    stream::MemoryOutput out;
    h.write(out);
    return out.text();
}

// Counts block reads, so a test can tell whether the search buffer was used.
class CountingInput : public stream::MemoryInput {
  public:
    using stream::MemoryInput::MemoryInput;
    std::uint32_t read(void* buffer, std::uint32_t length) override {
        ++blockReads;
        return stream::MemoryInput::read(buffer, length);
    }
    int blockReads = 0;
};

}  // namespace

TEST(EndHeaderLocateTest, FindsTheRecordOrReportsNone) {
    const std::string prefix(1000, 'x');
    struct Case {
        std::string name;
        std::string data;
        std::uint64_t expected;
    };
    const std::string longest(65535, 'c');
    const Case cases[] = {
        {"no comment", prefix + endRecord(""), 1000},
        {"short comment", prefix + endRecord("hello"), 1000},
        {"longest comment", prefix + endRecord(longest), 1000},
        {"record alone", endRecord(""), 0},
        // A signature inside the comment is nearer to the end, but only the real record's
        // comment reaches exactly to the end: the real record wins.
        {"signature in comment",
         prefix + endRecord(std::string("ab PK\5\6") + std::string(30, 'z')), 1000},
        // Bytes appended after the archive (a code signature): no candidate fits, the nearest
        // signature is taken.
        {"bytes after the record", prefix + endRecord("") + std::string(3000, 's'), 1000},
        {"bytes after a record with a signature in its comment",
         prefix + endRecord(std::string("ab PK\5\6") + std::string(30, 'z')) + "tail",
         1000 + 22 + 3},
        {"signature too close to the end", prefix + endRecord(std::string("PK\5\6", 4) + "x"),
         1000},
        {"too short", std::string("PK\5\6", 4) + std::string(17, '\0'), EndHeader::kNotFound},
        {"empty", "", EndHeader::kNotFound},
        {"no record", std::string(5000, 'P'), EndHeader::kNotFound},
        {"record beyond the window", endRecord("") + std::string(65536, 'c'), EndHeader::kNotFound},
    };
    for (const auto& c : cases) {
        stream::MemoryInput in(c.data);
        EndHeader h;
        EXPECT_EQ(h.locate(in), c.expected) << c.name;
    }
}

TEST(EndHeaderLocateTest, ARecordWithoutCommentIsFoundWithoutTheSearchBuffer) {
    CountingInput in(std::string(100, 'x') + endRecord(""));
    EndHeader h;
    EXPECT_EQ(h.locate(in), 100u);
    EXPECT_EQ(in.blockReads, 0);
    CountingInput commented(std::string(100, 'x') + endRecord("c"));
    EXPECT_EQ(h.locate(commented), 100u);
    EXPECT_EQ(commented.blockReads, 1);
}
