// The LZMA decoder on streams made by liblzma (tests/data/lzma/make_vectors.py): every lc, lp
// and pb a producer may choose, a 4 KB dictionary that the history wraps around many times,
// empty, one-byte and incompressible data; each fed in every way, with and without the end
// marker announced. Then damaged streams and hostile headers.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "InflateTestSupport.h"
#include "algorithm/zip/LzmaDecoder.h"
#include "base/Exception.h"
#include "tests/support/TestSupport.h"

using inflatetest::Bytes;
using inflatetest::Feed;

namespace {

struct Vector {
    std::string name;
    std::size_t size;
    std::uint32_t seed;
};

std::string vectorDir() {
    return testsupport::join(
        testsupport::join(testsupport::join(testsupport::sourceDir(), "tests"), "data"), "lzma");
}

Bytes vectorBytes(const std::string& file) {
    return testsupport::readFile(testsupport::join(vectorDir(), file));
}

std::vector<Vector> readManifest() {
    std::vector<Vector> vectors;
    std::ifstream in(testsupport::join(vectorDir(), "vectors.tsv"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        Vector v;
        fields >> v.name >> v.size >> v.seed;
        vectors.push_back(v);
    }
    return vectors;
}

// Decodes size bytes of an entry's data (header included).
Bytes decode(const Bytes& data, std::uint64_t size, bool endMarker, Feed feed = Feed::Buffered,
             std::uint64_t* returned = nullptr) {
    stream::MemoryInput memory(data);
    stream::MemoryOutput output;
    algorithm::zip::LzmaDecoder decoder(endMarker);
    std::uint64_t n;
    if (feed == Feed::Plain) {
        n = decoder.process(memory, output, size);
    } else {
        const std::uint32_t capacity = feed == Feed::Buffered      ? 65536
                                       : feed == Feed::SmallBuffer ? 24
                                                                   : 1;
        stream::BufferedInput buffered(memory, capacity);
        n = decoder.process(buffered, output, size);
    }
    if (returned != nullptr) {
        *returned = n;
    }
    return output.data();
}

// The message of the algorithm::Exception that decoding throws; "" when it throws none.
std::string failure(const Bytes& data, std::uint64_t size, bool endMarker) {
    try {
        decode(data, size, endMarker);
    } catch (const algorithm::Exception& e) {
        return e.message();
    }
    return "";
}

void put32(Bytes& data, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        data[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

TEST(LzmaVectors, LiblzmaStreamsDecodeToTheirData) {
    const std::vector<Vector> vectors = readManifest();
    ASSERT_GE(vectors.size(), 9u) << "no manifest in " << vectorDir();
    for (const Vector& v : vectors) {
        const Bytes compressed = vectorBytes(v.name + ".lzma");
        const Bytes expected = inflatetest::generate(v.size, v.seed);
        for (Feed feed : inflatetest::kAllFeeds) {
            if (feed != Feed::Buffered && v.size > 200000) {
                continue;
            }
            // The marker follows the last byte; a reader told only the size still takes it.
            for (bool endMarker : {true, false}) {
                SCOPED_TRACE(v.name + ", " + inflatetest::feedName(feed) +
                             (endMarker ? ", end marker" : ", size only"));
                std::uint64_t returned = 0;
                const Bytes out = decode(compressed, v.size, endMarker, feed, &returned);
                EXPECT_EQ(returned, v.size);
                ASSERT_EQ(out.size(), expected.size());
                EXPECT_TRUE(out == expected);
            }
        }
        // Up to the end marker without a size, as a stream of unknown length.
        SCOPED_TRACE(v.name + ", unknown size");
        EXPECT_TRUE(decode(compressed, algorithm::kUnknownSize, true) == expected);
    }
}

TEST(LzmaVectors, IncompressibleData) {
    const Bytes expected = vectorBytes("noise.bin");
    const Bytes out = decode(vectorBytes("noise.lzma"), expected.size(), true, Feed::TinyBuffer);
    EXPECT_TRUE(out == expected);
}

TEST(LzmaVectors, ADictionaryLargerThanTheEntryIsCappedByIt) {
    // 4 GB asked for a 150,000-byte entry: decoded with a history of the entry's size (a
    // history of the asked size would be refused).
    Bytes compressed = vectorBytes("default.lzma");
    put32(compressed, 5, 0xFFFFFFFFu);
    EXPECT_TRUE(decode(compressed, 150000, true) == inflatetest::generate(150000, 11));
}

TEST(LzmaDamaged, HeadersAreRefusedWithTheirReason) {
    const Bytes good = vectorBytes("default.lzma");
    struct Case {
        const char* what;
        std::size_t at;
        std::uint8_t value;
        std::uint64_t size;
        const char* message;
    };
    const Case cases[] = {
        {"properties size 6", 2, 6, 150000, "bad LZMA properties size 6 (not 5) in LzmaDecoder"},
        {"properties size 256 + 5", 3, 1, 150000,
         "bad LZMA properties size 261 (not 5) in LzmaDecoder"},
        {"properties byte 225", 4, 225, 150000, "bad LZMA properties byte 225 in LzmaDecoder"},
        {"lc 4 + lp 1", 4, (0 * 5 + 1) * 9 + 4, 150000,
         "unsupported LZMA literal coding (lc 4 + lp 1 is more than 4) in LzmaDecoder"},
        {"lc 8 + lp 4", 4, (2 * 5 + 4) * 9 + 8, 150000,
         "unsupported LZMA literal coding (lc 8 + lp 4 is more than 4) in LzmaDecoder"},
        {"range coder's first byte", 9, 1, 150000, "bad LZMA stream start in LzmaDecoder"},
        // 512 MB asked for a 300 MB entry: refused before anything is allocated.
        {"dictionary of 512 MB", 8, 0x20, 300u << 20,  // with the low bytes cleared below
         "LZMA dictionary of 536870912 bytes refused (more than 256 MB) in LzmaDecoder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes data = good;
        if (c.at == 8) {
            put32(data, 5, 0);
        }
        data[c.at] = c.value;
        EXPECT_EQ(failure(data, c.size, true), c.message);
    }
    // One byte over the limit, for an entry that could use all of it.
    Bytes data = good;
    put32(data, 5, algorithm::zip::LzmaDecoder::kMaxWindow + 1);
    EXPECT_EQ(failure(data, algorithm::zip::LzmaDecoder::kMaxWindow + 1, true),
              "LZMA dictionary of 268435457 bytes refused (more than 256 MB) in LzmaDecoder");
}

TEST(LzmaDamaged, ACutStreamNeverPassesForTheWhole) {
    const Bytes good = vectorBytes("lc0-lp0-pb0.lzma");
    const Bytes expected = inflatetest::generate(60000, 13);
    int failed = 0;
    int tried = 0;
    // Every length near either end, every seventh between.
    for (std::size_t cut = 0; cut < good.size();
         cut += cut < 64 || cut + 64 >= good.size() ? 1 : 7) {
        ++tried;
        const Bytes data(good.begin(), good.begin() + static_cast<long>(cut));
        for (bool endMarker : {true, false}) {
            try {
                const Bytes out = decode(data, expected.size(), endMarker);
                // The range coder's last bytes can be unneeded: then the data is whole.
                EXPECT_TRUE(out == expected) << "cut at " << cut;
                EXPECT_GE(cut + 4, good.size()) << "cut at " << cut;
            } catch (const algorithm::Exception& e) {
                ++failed;
                if (cut < good.size() - 8) {
                    EXPECT_EQ(e.message(), "unexpected end of LZMA data in LzmaDecoder")
                        << "cut at " << cut;
                }
            }
        }
    }
    // Only the last few cuts may leave the data whole.
    EXPECT_GE(failed, 2 * (tried - 8));
}

TEST(LzmaDamaged, DataPastTheSizeOrBeforeTheStartIsRefused) {
    const Bytes good = vectorBytes("default.lzma");
    // Told a smaller size than the stream holds: the decoder meets data where the end should be.
    EXPECT_EQ(failure(good, 1000, true),
              "LZMA data goes on past the end of the entry in LzmaDecoder");
    EXPECT_EQ(failure(good, 1000, false),
              "LZMA data goes on past the end of the entry in LzmaDecoder");
    // Told a larger one: the marker ends the stream early; the reader's size check sees it.
    std::uint64_t returned = 0;
    EXPECT_EQ(decode(good, 150001, true, Feed::Buffered, &returned).size(), 150000u);
    EXPECT_EQ(returned, 150000u);
}

TEST(LzmaDamaged, FlippedBitsFailCleanlyOrDecodeWrongData) {
    // Whatever a flipped bit does, the decoder stays within its entry: it throws or writes at
    // most the entry's size (the CRC then tells).
    const Bytes good = vectorBytes("dict4k.lzma");
    int thrown = 0;
    for (std::size_t at = 9; at < good.size(); at += 97) {
        Bytes data = good;
        data[at] ^= static_cast<std::uint8_t>(1u << (at % 8));
        try {
            EXPECT_LE(decode(data, 200000, false).size(), 200000u);
        } catch (const algorithm::Exception&) {
            ++thrown;
        }
    }
    EXPECT_GT(thrown, 0);
}
