// The default operations of the stream interfaces, seen through minimal streams that implement
// only get() or put().
#include <gtest/gtest.h>

#include <vector>

#include "base/Exception.h"
#include "stream/Stream.h"
#include "stream/TestStreams.h"

namespace {

using teststreams::pattern;

class GetOnlyInput : public stream::InputStream {
  public:
    GetOnlyInput(std::vector<std::uint8_t> data, bool sizeKnown)
        : data_(std::move(data)), sizeKnown_(sizeKnown) {}
    int get() override { return position_ < data_.size() ? data_[position_++] : -1; }
    std::uint64_t tell() override { return position_; }
    std::uint64_t size() override { return sizeKnown_ ? data_.size() : stream::ALL; }

  private:
    std::vector<std::uint8_t> data_;
    bool sizeKnown_;
    std::size_t position_ = 0;
};

class PutOnlyOutput : public stream::OutputStream {
  public:
    void put(std::uint8_t byte) override { data.push_back(byte); }
    void flush() override { ++flushes; }
    std::uint64_t tell() override { return data.size(); }
    std::vector<std::uint8_t> data;
    int flushes = 0;
};

TEST(StreamDefaults, ReadSkipAndCopyStopAtTheEnd) {
    const auto data = pattern(10);
    for (bool sizeKnown : {true, false}) {
        GetOnlyInput in(data, sizeKnown);
        std::uint8_t block[4];
        EXPECT_EQ(in.read(block, 4), 4u);
        EXPECT_EQ(in.skip(2), 2u);
        PutOnlyOutput out;
        // ALL with an unknown size still means up to the end.
        EXPECT_EQ(in.copy(out, stream::ALL), 4u);
        EXPECT_EQ(out.data, std::vector<std::uint8_t>(data.begin() + 6, data.end()));
        EXPECT_EQ(out.flushes, 1);
        EXPECT_EQ(in.read(block, 4), 0u);
        EXPECT_EQ(in.skip(5), 0u);
        EXPECT_EQ(in.copy(out, 3), 0u);
        EXPECT_EQ(out.flushes, 2);
    }
}

TEST(StreamDefaults, CopyFromMirrorsCopy) {
    const auto data = pattern(10);
    GetOnlyInput in(data, false);
    PutOnlyOutput out;
    EXPECT_EQ(out.copyFrom(in, 3), 3u);
    EXPECT_EQ(out.copyFrom(in, stream::ALL), 7u);
    EXPECT_EQ(out.data, data);
    EXPECT_EQ(out.flushes, 2);
}

TEST(StreamDefaults, WriteFillAndResize) {
    PutOnlyOutput out;
    out.write(nullptr, 5);  // nothing happens
    out.write("ab", 2);
    out.fill(2, 'x');
    EXPECT_EQ(std::string(out.data.begin(), out.data.end()), "abxx");
    out.resize(4);  // the current size: nothing happens
    EXPECT_EQ(out.data.size(), 4u);
    out.resize(6);  // larger: zero bytes appended
    EXPECT_EQ(out.data, (std::vector<std::uint8_t>{'a', 'b', 'x', 'x', 0, 0}));
    try {
        out.resize(5);
        FAIL() << "no exception";
    } catch (const stream::Exception& e) {
        EXPECT_EQ(e.message(), "default stream::Output::resize() cannot truncate its stream");
    }
    EXPECT_EQ(out.data.size(), 6u);
}

}  // namespace
