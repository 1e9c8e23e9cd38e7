// One large entry decoded with its CRC-32 and writes on a second thread, against the same entry
// decoded on one: the same bytes, CRC, running count and progress, the same failures, and a
// cancel that writes nothing more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

#include "archive/Archive.h"
#include "base/Exception.h"
#include "format/zip/EntryDecoder.h"
#include "format/zip/MethodDecoders.h"
#include "stream/MemoryStream.h"
#include "stream/TestStreams.h"

#ifdef ZIPSFX_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

using format::zip::EntryDecoder;
using teststreams::RecordingOutput;

constexpr std::uint64_t kBuffer = EntryDecoder::kPipelineBuffer;
constexpr std::uint64_t kBefore = 7;  // bytes of the archive extracted before the entry

// Text-like bytes with repeats and noise, so that Deflate finds both matches and literals.
std::string sample(std::size_t size) {
    std::string text;
    text.reserve(size);
    std::uint32_t x = 0x9E3779B9u;
    while (text.size() < size) {
        x = x * 1664525u + 1013904223u;
        text += "line " + std::to_string(x % 1000) + ": ";
        for (int i = 0; i < 12; ++i) {
            text += static_cast<char>('a' + ((x >> (i + 3)) % 26));
        }
        text += '\n';
    }
    text.resize(size);
    return text;
}

#ifdef ZIPSFX_HAVE_ZLIB
std::string deflateRaw(const std::string& data) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
#endif

struct Entry {
    std::uint8_t method;
    std::string payload;  // as stored in the archive
    std::uint64_t size;   // decoded
};

Entry stored(const std::string& data) {
    return {0, data, data.size()};
}

struct Progress {
    std::vector<std::uint64_t> positions;
    std::uint64_t cancelAt = ~std::uint64_t(0);
};

bool onProgress(std::uint64_t position, void* user) {
    auto* progress = static_cast<Progress*>(user);
    progress->positions.push_back(position);
    return position < progress->cancelAt;
}

struct Decoded {
    std::uint32_t crc = 0;
    std::uint64_t produced = 0;
    std::vector<std::uint64_t> progress;
    std::string failure;  // the type and text of what decode threw, or empty
};

Decoded decode(const Entry& entry, bool pipelined, stream::OutputStream& out,
               std::uint64_t cancelAt = ~std::uint64_t(0)) {
    Progress progress;
    progress.cancelAt = cancelAt;
    vessel5::Archive archive;
    archive.onProgress(onProgress, &progress);
    auto decoder = format::zip::createEntryDecoder(entry.method, 0, archive);
    decoder->pipelined = pipelined;
    decoder->produced = kBefore;
    decoder->compressedSize = entry.payload.size();
    decoder->inputSize = entry.payload.size();
    decoder->outputSize = entry.size;
    stream::MemoryInput in(entry.payload);
    Decoded result;
    try {
        decoder->decode(in, out);
    } catch (const generic::exception& e) {
        result.failure = std::string(typeid(e).name()) + " " + e.message();
    }
    result.crc = decoder->crc;
    result.produced = decoder->produced;
    result.progress = progress.positions;
    return result;
}

TEST(EntryDecoderPipelineTest, BytesCrcCountAndProgressAreThoseOfTheDirectPath) {
    std::vector<std::pair<std::string, Entry>> cases;
    for (std::uint64_t size :
         {std::uint64_t(0), std::uint64_t(1), kBuffer - 1, kBuffer, kBuffer + 1, 5 * kBuffer + 3}) {
        cases.push_back({"stored " + std::to_string(size), stored(sample(size))});
    }
#ifdef ZIPSFX_HAVE_ZLIB
    const std::string large = sample(6 * 1024 * 1024 + 17);
    cases.push_back({"deflated 6 MB", {8, deflateRaw(large), large.size()}});
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        stream::MemoryOutput direct;
        stream::MemoryOutput pipelined;
        const Decoded one = decode(c.second, false, direct);
        const Decoded two = decode(c.second, true, pipelined);
        ASSERT_EQ(one.failure, "");
        ASSERT_EQ(two.failure, "");
        EXPECT_EQ(direct.data().size(), c.second.size);
        EXPECT_TRUE(pipelined.data() == direct.data()) << "the bytes differ";
        EXPECT_EQ(two.crc, one.crc);
        EXPECT_EQ(two.produced, kBefore + c.second.size);
        EXPECT_EQ(two.progress, one.progress);
    }
#ifndef ZIPSFX_HAVE_ZLIB
    GTEST_SKIP() << "stored entries only: this build has no zlib to deflate the large one";
#endif
}

// Fails its third write, as a full disk would.
class FullDisk : public RecordingOutput {
  public:
    void write(const void* buffer, std::uint32_t length) override {
        if (++writes == 3) {
            throw io::OutputException("no space left for the entry");
        }
        RecordingOutput::write(buffer, length);
    }
    int writes = 0;
};

TEST(EntryDecoderPipelineTest, FailuresReachTheCallerAsOnTheDirectPath) {
    const std::string data = sample(4 * kBuffer + 5);
    struct Case {
        const char* name;
        Entry entry;
        bool fullDisk;
        const char* expected;  // a part of the message
    };
    std::vector<Case> cases = {{"the output fails", stored(data), true, "no space left"}};
#ifdef ZIPSFX_HAVE_ZLIB
    // Deflated data cut short: the decoder fails after writing most of it.
    const std::string large = sample(6 * 1024 * 1024);
    const std::string deflated = deflateRaw(large);
    cases.push_back({"the data is cut short",
                     {8, deflated.substr(0, deflated.size() * 3 / 4), large.size()},
                     false,
                     "Decompressor"});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string failures[2];
        for (int pipelined = 0; pipelined < 2; ++pipelined) {
            FullDisk full;
            stream::MemoryOutput memory;
            stream::OutputStream& out =
                c.fullDisk ? static_cast<stream::OutputStream&>(full) : memory;
            failures[pipelined] = decode(c.entry, pipelined != 0, out).failure;
            if (c.fullDisk) {
                EXPECT_EQ(full.writes, 3) << "writes after the failure";
            }
        }
        EXPECT_NE(failures[0], "");
        EXPECT_NE(failures[0].find(c.expected), std::string::npos) << failures[0];
        EXPECT_EQ(failures[1], failures[0]);
    }
#ifndef ZIPSFX_HAVE_ZLIB
    GTEST_SKIP()
        << "the output's failure only: this build has no zlib to deflate the damaged entry";
#endif
}

TEST(EntryDecoderPipelineTest, ACancelledEntryHasNothingMoreWrittenOrFlushed) {
    const std::string data = sample(12 * kBuffer);
    const std::uint64_t cancelAt = kBefore + 2 * kBuffer + 1000;
    for (int pipelined = 0; pipelined < 2; ++pipelined) {
        SCOPED_TRACE(pipelined ? "pipelined" : "direct");
        RecordingOutput out;
        const Decoded result = decode(stored(data), pipelined != 0, out, cancelAt);
        EXPECT_EQ(result.failure.find(typeid(brindle5::exception::Evacuation).name()), 0u)
            << result.failure;
        ASSERT_FALSE(result.progress.empty());
        const std::uint64_t passed = result.progress.back() - kBefore;
        EXPECT_GE(result.progress.back(), cancelAt);
        EXPECT_TRUE(std::equal(out.data.begin(), out.data.end(), data.begin()));
        const bool flushed = std::find(out.calls.begin(), out.calls.end(), "f") != out.calls.end();
        if (pipelined) {
            // The pipeline had at most what passed the progress count when it cancelled.
            EXPECT_LE(out.data.size(), passed);
            EXPECT_FALSE(flushed);
        } else {
            // Today's direct path writes its buffer on the way out.
            EXPECT_EQ(out.data.size(), passed);
            EXPECT_TRUE(flushed);
        }
    }
}

}  // namespace
