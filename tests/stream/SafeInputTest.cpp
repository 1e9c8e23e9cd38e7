#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/Exception.h"
#include "stream/SafeInput.h"
#include "stream/TestStreams.h"

namespace {

using teststreams::CountingInput;
using teststreams::pattern;
using teststreams::RecordingOutput;

// Runs an operation on a SafeInput over 10 bytes and gives the message it threw ("" for none).
std::string messageOf(const std::function<void(stream::SafeInput&)>& operation,
                      bool sizeKnown = true) {
    CountingInput in(pattern(10), 0, sizeKnown);
    stream::SafeInput safe(in);
    try {
        operation(safe);
    } catch (const stream::Exception& e) {
        EXPECT_EQ(e.kind(), "stream");
        return e.message();
    }
    return "";
}

TEST(SafeInput, ShortResultsThrowNamingTheOperation) {
    const std::string readEnd = "unexpected end of file in stream::SafeInput::read()";
    const std::string skipEnd = "unexpected end of file in stream::SafeInput::skip()";
    const std::string copyEnd = "unexpected end of file in stream::SafeInput::copy()";
    RecordingOutput out;
    std::uint8_t block[16];
    struct Case {
        const char* name;
        std::function<void(stream::SafeInput&)> operation;
        std::string expected;
    };
    const Case cases[] = {
        {"get within", [](stream::SafeInput& s) { s.skip(9), s.get(); }, ""},
        // get() at the end names read(): it is a one-byte read.
        {"get past", [](stream::SafeInput& s) { s.skip(10), s.get(); }, readEnd},
        {"read exact", [&](stream::SafeInput& s) { s.read(block, 10); }, ""},
        {"read short", [&](stream::SafeInput& s) { s.read(block, 11); }, readEnd},
        {"read zero at end", [&](stream::SafeInput& s) { s.skip(10), s.read(block, 0); }, ""},
        {"skip exact", [](stream::SafeInput& s) { s.skip(10); }, ""},
        {"skip short", [](stream::SafeInput& s) { s.skip(11); }, skipEnd},
        {"copy exact", [&](stream::SafeInput& s) { s.copy(out, 10); }, ""},
        {"copy short", [&](stream::SafeInput& s) { s.copy(out, 11); }, copyEnd},
        {"copy all", [&](stream::SafeInput& s) { s.get(), s.copy(out, stream::ALL); }, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(messageOf(c.operation), c.expected) << c.name;
    }
}

TEST(SafeInput, CopyOfAllFromAnUnknownSizeIsNeverShort) {
    // size() is ALL, so ALL less tell() is more than is there; the copy still succeeds.
    const auto data = pattern(10);
    CountingInput in(data, 0, false);
    stream::SafeInput safe(in);
    safe.skip(3);
    RecordingOutput out;
    EXPECT_EQ(safe.copy(out, stream::ALL), 7u);
    EXPECT_EQ(out.data, std::vector<std::uint8_t>(data.begin() + 3, data.end()));
    EXPECT_EQ(out.calls.back(), "f");
}

TEST(SafeInput, ForwardsResultsAndPosition) {
    const auto data = pattern(10);
    CountingInput in(data);
    stream::SafeInput safe(in);
    EXPECT_EQ(safe.get(), data[0]);
    std::uint8_t block[4];
    EXPECT_EQ(safe.read(block, 4), 4u);
    EXPECT_EQ(block[3], data[4]);
    EXPECT_EQ(safe.skip(2), 2u);
    EXPECT_EQ(safe.tell(), 7u);
    EXPECT_EQ(safe.size(), 10u);
    safe.close();
    EXPECT_EQ(in.closes, 1);
}

}  // namespace
