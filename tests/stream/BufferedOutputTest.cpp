#include <gtest/gtest.h>

#include <vector>

#include "base/Exception.h"
#include "stream/BufferedOutput.h"
#include "stream/MemoryStream.h"
#include "stream/TestStreams.h"

namespace {

using teststreams::CountingInput;
using teststreams::pattern;
using teststreams::RecordingOutput;

using Calls = std::vector<std::string>;

TEST(BufferedOutput, ZeroCapacityIsRefused) {
    RecordingOutput out;
    try {
        stream::BufferedOutput buffered(out, 0);
        FAIL() << "no exception";
    } catch (const stream::Exception& e) {
        EXPECT_EQ(e.message(), "zero buffer size in stream::BufferedOutput");
    }
}

TEST(BufferedOutput, PutsAreWrittenInBlocksOfTheCapacity) {
    const auto data = pattern(20);
    RecordingOutput out;
    {
        stream::BufferedOutput buffered(out, 8);
        for (std::uint8_t b : data) {
            buffered.put(b);
        }
        EXPECT_EQ(out.calls, (Calls{"w8", "w8"}));
        EXPECT_EQ(buffered.tell(), 20u);
    }
    // Destruction flushes the rest and the wrapped stream.
    EXPECT_EQ(out.calls, (Calls{"w8", "w8", "w4", "f"}));
    EXPECT_EQ(out.data, data);
}

TEST(BufferedOutput, WriteOfTheCapacityGoesStraightThroughAfterWaitingBytes) {
    const auto data = pattern(40);
    RecordingOutput out;
    stream::BufferedOutput buffered(out, 8);
    buffered.write(data.data(), 3);      // waits
    buffered.write(data.data() + 3, 8);  // exactly the capacity: waiting 3 first, then these 8
    EXPECT_EQ(out.calls, (Calls{"w3", "w8"}));
    buffered.write(data.data() + 11, 6);  // waits
    buffered.write(data.data() + 17, 5);  // no room: the 6 go first, then these wait
    EXPECT_EQ(out.calls, (Calls{"w3", "w8", "w6"}));
    buffered.write(data.data() + 22, 3);  // fills the buffer exactly
    EXPECT_EQ(out.calls, (Calls{"w3", "w8", "w6"}));
    buffered.write(data.data() + 25, 15);  // larger than the capacity
    EXPECT_EQ(out.calls, (Calls{"w3", "w8", "w6", "w8", "w15"}));
    EXPECT_EQ(out.data, data);
    EXPECT_EQ(buffered.tell(), 40u);
    buffered.flush();
    EXPECT_EQ(out.calls.back(), "f");
}

TEST(BufferedOutput, TellStartsAtTheWrappedPosition) {
    RecordingOutput out(1000);
    stream::BufferedOutput buffered(out, 8);
    EXPECT_EQ(buffered.tell(), 1000u);
    buffered.put(1);
    buffered.write("abc", 3);
    buffered.fill(20, 7);
    EXPECT_EQ(buffered.tell(), 1024u);
}

TEST(BufferedOutput, FillAndCopyFromKeepTheOrder) {
    const auto data = pattern(30);
    RecordingOutput out;
    stream::BufferedOutput buffered(out, 8);
    buffered.put(0xAA);
    buffered.fill(19, 0x55);
    CountingInput in(data);
    EXPECT_EQ(buffered.copyFrom(in, stream::ALL), 30u);
    buffered.put(0xBB);
    buffered.flush();
    std::vector<std::uint8_t> expected(1, 0xAA);
    expected.insert(expected.end(), 19, 0x55);
    expected.insert(expected.end(), data.begin(), data.end());
    expected.push_back(0xBB);
    EXPECT_EQ(out.data, expected);
    for (const std::string& call : out.calls) {
        EXPECT_NE(call, "p") << "a byte bypassed the buffer";
    }
}

TEST(BufferedOutput, DirectSpaceAndCommit) {
    RecordingOutput out;
    stream::BufferedOutput buffered(out, 4);
    buffered.write("ab", 2);
    std::uint32_t room = 0;
    std::uint8_t* to = buffered.space(room);
    ASSERT_EQ(room, 2u);
    to[0] = 'c';
    buffered.commit(1);
    buffered.put('d');
    to = buffered.space(room);  // full: flushed first
    EXPECT_EQ(out.calls, (Calls{"w4"}));
    ASSERT_EQ(room, 4u);
    to[0] = 'e';
    buffered.commit(1);
    EXPECT_EQ(buffered.tell(), 5u);
    buffered.flush();
    EXPECT_EQ(std::string(out.data.begin(), out.data.end()), "abcde");
}

TEST(BufferedOutput, SizeAndResizeGoToTheWrappedStreamAsItIs) {
    stream::MemoryOutput out;
    stream::BufferedOutput buffered(out, 8);
    buffered.write("abc", 3);
    EXPECT_EQ(buffered.size(), 0u);  // the waiting bytes are not written first
    buffered.resize(2);              // MemoryOutput's default resize appends two zeros
    buffered.close();                // does nothing
    buffered.flush();
    EXPECT_EQ(out.text(), std::string("\0\0abc", 5));
}

TEST(BufferedOutput, DestructionSwallowsAWriteFailureButFlushReportsIt) {
    RecordingOutput out;
    {
        stream::BufferedOutput buffered(out, 8);
        buffered.write("abc", 3);
        out.failWrites = true;
        EXPECT_THROW(buffered.flush(), io::OutputException);
    }  // must not throw
    EXPECT_EQ(out.calls, (Calls{"w3", "w3"}));
}

}  // namespace
