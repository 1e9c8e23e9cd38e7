// The BZip2 decoder on streams made here by libbz2 (the reference encoder): data that exercises
// each stage (runs around the four-byte threshold, every byte value, several blocks, several
// streams, incompressible data), then damaged copies, each refused with its own message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algorithm/zip/BZip2Decompressor.h"
#include "base/Exception.h"
#include "stream/BufferedInput.h"
#include "stream/MemoryStream.h"

#ifdef ZIPSFX_HAVE_LIBBZ2
#include <bzlib.h>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

#ifdef ZIPSFX_HAVE_LIBBZ2
#define REQUIRE_LIBBZ2()
#else
#define REQUIRE_LIBBZ2() GTEST_SKIP() << "libbz2 is not available to this build"
#endif

Bytes compress(const Bytes& data, int level) {
#ifdef ZIPSFX_HAVE_LIBBZ2
    unsigned int size = static_cast<unsigned int>(data.size() + data.size() / 100 + 700);
    Bytes out(size);
    // libbz2 wants a buffer even for no data.
    Bytes in = data.empty() ? Bytes(1) : data;
    const int status = BZ2_bzBuffToBuffCompress(
        reinterpret_cast<char*>(out.data()), &size, reinterpret_cast<char*>(in.data()),
        static_cast<unsigned int>(data.size()), level, 0, 0);
    EXPECT_EQ(status, BZ_OK);
    out.resize(size);
    return out;
#else
    (void)data;
    (void)level;
    return {};
#endif
}

Bytes decode(const Bytes& compressed, std::uint64_t* returned = nullptr, bool buffered = true) {
    stream::MemoryInput memory(compressed);
    stream::MemoryOutput output;
    algorithm::zip::BZip2Decompressor decoder;
    std::uint64_t n;
    if (buffered) {
        stream::BufferedInput input(memory, 7);
        n = decoder.process(input, output);
    } else {
        n = decoder.process(memory, output);
    }
    if (returned != nullptr) {
        *returned = n;
    }
    return output.data();
}

std::string messageOf(const Bytes& compressed) {
    try {
        decode(compressed);
    } catch (const algorithm::Exception& e) {
        EXPECT_EQ(e.kind(), "algorithm");
        return e.message();
    }
    return "(no exception)";
}

Bytes text(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {"block ", "stream ", "huffman ", "run ",
                                         "the ",   "sort ",   "zip ",     "selector\n"};
    Bytes out;
    std::uint32_t state = seed;
    while (out.size() < size) {
        state = state * 1103515245u + 12345u;
        const std::string word = kWords[(state >> 16) % 8];
        out.insert(out.end(), word.begin(), word.end());
    }
    out.resize(size);
    return out;
}

Bytes random(std::size_t size, std::uint32_t seed) {
    Bytes out(size);
    std::uint32_t state = seed;
    for (auto& b : out) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

Bytes runs() {
    // Runs of 1 to 6 and around the counted maximum (4 + 255), each of another byte.
    Bytes out;
    const unsigned lengths[] = {1, 2, 3, 4, 5, 6, 258, 259, 260, 263, 264, 1000};
    std::uint8_t byte = 0;
    for (unsigned length : lengths) {
        out.insert(out.end(), length, byte);
        byte = static_cast<std::uint8_t>(byte + 37);
    }
    // The same byte after a counted run starts a new run.
    out.insert(out.end(), 259 + 3, 'z');
    return out;
}

Bytes everyByte() {
    Bytes out;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b) {
            out.push_back(static_cast<std::uint8_t>(round == 1 ? 255 - b : b));
        }
    }
    return out;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(BZip2, DecodesWhatTheReferenceEncoderWrites) {
    REQUIRE_LIBBZ2();
    struct Case {
        const char* name;
        Bytes data;
        int level;
    } cases[] = {
        {"empty", {}, 9},
        {"one byte", {'x'}, 9},
        {"runs around the threshold", runs(), 9},
        {"every byte value", everyByte(), 1},
        {"one long run", Bytes(1000000, 'a'), 9},
        {"text, one block", text(200000, 1), 9},
        {"text, four blocks of 100 KB", text(350000, 2), 1},
        {"incompressible", random(250000, 3), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes compressed = compress(c.data, c.level);
        for (bool buffered : {true, false}) {
            std::uint64_t returned = 0;
            const Bytes out = decode(compressed, &returned, buffered);
            ASSERT_EQ(out.size(), c.data.size());
            EXPECT_TRUE(out == c.data);
            EXPECT_EQ(returned, c.data.size());
        }
    }
}

TEST(BZip2, StreamsFollowOneAnotherToTheEnd) {
    REQUIRE_LIBBZ2();
    const Bytes a = text(120000, 4);
    const Bytes b = runs();
    const Bytes both = concat(a, b);
    // A smaller block size after a larger one, and the other way round.
    EXPECT_TRUE(decode(concat(compress(a, 9), compress(b, 1))) == both);
    EXPECT_TRUE(decode(concat(compress(a, 1), compress(b, 9))) == both);
    EXPECT_TRUE(decode(concat(compress({}, 9), compress(a, 9))) == a);
    // Bytes after the last stream that begin no stream are not data, as bzip2 has it.
    EXPECT_TRUE(decode(concat(compress(b, 9), {0, 0, 0, 0, 'x'})) == b);
    EXPECT_TRUE(decode(concat(compress(b, 9), {'B', 'Z'})) == b);
}

TEST(BZip2, DamagedStreamsAreRefusedWithTheirOwnMessages) {
    REQUIRE_LIBBZ2();
    const Bytes good = compress(text(150000, 5), 9);
    auto changed = [&good](std::size_t at, std::uint8_t mask) {
        Bytes copy = good;
        copy.at(at) ^= mask;
        return copy;
    };
    // Bytes 0-3 "BZh9", 4-9 the block magic, 10-13 the block CRC, then the randomised bit.
    struct Case {
        const char* name;
        Bytes input;
        std::string message;
    } cases[] = {
        {"empty input", {}, "unexpected end of data in BZip2Decompressor"},
        {"not a stream", {'B', 'Z', 'h', '0', 1, 2, 3}, "bad stream header in BZip2Decompressor"},
        {"flipped block CRC", changed(12, 0x10), "block CRC mismatch in BZip2Decompressor"},
        {"bad block magic", changed(5, 0x01), "bad block header in BZip2Decompressor"},
        {"randomised block", changed(14, 0x80),
         "randomised block (written by bzip2 before 0.9.5) not supported in BZip2Decompressor"},
        {"flipped stream CRC", changed(good.size() - 3, 0x01),
         "stream CRC mismatch in BZip2Decompressor"},
        {"block larger than the header declares",
         [&good] {
             Bytes copy = good;
             copy[3] = '1';
             return copy;
         }(),
         "block longer than its declared size in BZip2Decompressor"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(messageOf(c.input), c.message) << c.name;
    }
}

TEST(BZip2, EveryCutEndsInAnError) {
    REQUIRE_LIBBZ2();
    const Bytes data = concat(text(3000, 6), runs());
    const Bytes whole = compress(data, 9);
    ASSERT_TRUE(decode(whole) == data);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const Bytes part(whole.begin(), whole.begin() + cut);
        EXPECT_THROW(decode(part), algorithm::Exception) << "cut at " << cut;
    }
}

TEST(BZip2, FlippedBitsNeverPassUnnoticed) {
    REQUIRE_LIBBZ2();
    // Every single-bit change of a small stream ends in an error or, where the bit does not
    // matter (the padding after the end, a block-size digit that still leaves room), in the
    // same data: never in other data.
    const Bytes data = text(2000, 7);
    const Bytes whole = compress(data, 9);
    int refused = 0;
    for (std::size_t bit = 0; bit < whole.size() * 8; ++bit) {
        Bytes copy = whole;
        copy[bit / 8] ^= static_cast<std::uint8_t>(0x80 >> (bit % 8));
        try {
            EXPECT_TRUE(decode(copy) == data) << "bit " << bit;
        } catch (const algorithm::Exception&) {
            ++refused;
        }
    }
    EXPECT_GE(refused, static_cast<int>(whole.size() * 8) - 16);
}
