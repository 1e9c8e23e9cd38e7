// The Deflate decoder on hand-made streams: block kinds, the window pieces, every error, and
// input that ends early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InflateTestSupport.h"
#include "algorithm/zip/Decompressor.h"
#include "base/Exception.h"

using namespace inflatetest;

namespace {

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::string messageOf(const Bytes& compressed, Feed feed = Feed::Buffered) {
    try {
        inflate(compressed, feed);
    } catch (const algorithm::Exception& e) {
        EXPECT_EQ(e.kind(), "algorithm");
        return e.message();
    }
    return "(no exception)";
}

// A complete literal/length code over 288 symbols and a complete distance code over 32, so that
// the header declares HLIT 31 and HDIST 31 and every symbol has a code.
std::vector<unsigned> fullLiteralLengths() {
    std::vector<unsigned> l(288, 9);
    for (unsigned i = 256; i < 288; ++i) {
        l[i] = 6;
    }
    return l;
}

Bytes fixedBlock(bool final, const Bytes& literals) {
    BitWriter w;
    w.bits(final ? 1 : 0, 1).bits(1, 2);
    for (std::uint8_t b : literals) {
        w.fixedLiteral(b);
    }
    w.fixedLiteral(256);
    return w.done();
}

}  // namespace

TEST(Decompressor, SmallStreams) {
    struct Case {
        const char* name;
        Bytes input;
        std::string output;
    } cases[] = {
        {"final empty stored block", {0x01, 0x00, 0x00, 0xFF, 0xFF}, ""},
        {"final empty fixed block", {0x03, 0x00}, ""},
        {"stored block", {0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c'}, "abc"},
        {"fixed literals", fixedBlock(true, {'h', 'i', 200}), "hi\xC8"},
        {"non-final then final",
         [] {
             BitWriter w;
             w.bits(0, 1).bits(1, 2).fixedLiteral('x').fixedLiteral(256);
             w.bits(1, 1).bits(0, 2).align().bits(2, 16).bits(0xFFFD, 16).bytes({'y', 'z'});
             return w.done();
         }(),
         "xyz"},
    };
    for (const Case& c : cases) {
        for (Feed feed : kAllFeeds) {
            SCOPED_TRACE(std::string(c.name) + ", " + feedName(feed));
            std::uint64_t returned = 99;
            Bytes out = inflate(c.input, feed, &returned);
            EXPECT_EQ(std::string(out.begin(), out.end()), c.output);
            EXPECT_EQ(returned, c.output.size());
        }
    }
}

TEST(Decompressor, MatchesRepeatAndReachIntoZeros) {
    // 'x', then length 258 at distance 1 (symbol 285, distance code 0).
    BitWriter repeat;
    repeat.bits(1, 1).bits(1, 2).fixedLiteral('x').fixedLiteral(285).fixedDistance(0);
    repeat.fixedLiteral(256);
    EXPECT_EQ(inflate(repeat.done()), Bytes(259, 'x'));

    // "ab", then length 7 at distance 2: an overlapping copy.
    BitWriter overlap;
    overlap.bits(1, 1).bits(1, 2).fixedLiteral('a').fixedLiteral('b');
    overlap.fixedLiteral(261).fixedDistance(1).fixedLiteral(256);
    EXPECT_EQ(inflate(overlap.done()), text("ababababa"));

    // A first match (length 5, distance 4) reaches before the first byte: it copies zeros.
    BitWriter early;
    early.bits(1, 1).bits(1, 2).fixedLiteral('q').fixedLiteral(259).fixedDistance(3);
    early.fixedLiteral(256);
    Bytes expected = {'q', 0, 0, 0, 'q', 0};
    EXPECT_EQ(inflate(early.done()), expected);
}

TEST(Decompressor, BadStreamsThrowTheirMessages) {
    const std::vector<unsigned> full = fullLiteralLengths();
    const std::vector<unsigned> distances32(32, 5);
    auto dynamicWith = [&](auto&& body) {
        BitWriter w;
        DynamicBlock block(w, true, full, distances32);
        block.literal('A');
        body(block);
        return w.done();
    };
    struct Case {
        const char* name;
        Bytes input;
        const char* message;
    } cases[] = {
        {"block type 3", {0x07, 0x00, 0x00}, "bad block type in Decompressor"},
        {"block type 3 alone", {0x07}, "bad block type in Decompressor"},
        {"stored length and complement disagree",
         {0x01, 0x05, 0x00, 0x00, 0x00},
         "error in compressed data in Decompressor"},
        {"stored complement missing",
         {0x01, 0x00, 0x00},
         "error in compressed data in Decompressor"},
        {"input ends after a non-final stored block",
         {0x00, 0x00, 0x00, 0xFF, 0xFF},
         "error in compressed data in Decompressor"},
        {"input ends on a byte boundary after a non-final fixed block",
         fixedBlock(false, {200, 201, 202, 203, 204, 205}),
         "error in compressed data in Decompressor"},
        {"literal/length symbol 286", dynamicWith([](DynamicBlock& b) { b.literal(286); }),
         "bad code in Decompressor"},
        {"literal/length symbol 287", dynamicWith([](DynamicBlock& b) { b.literal(287); }),
         "bad code in Decompressor"},
        {"distance symbol 30", dynamicWith([](DynamicBlock& b) { b.literal(257).distance(30); }),
         "bad code in Decompressor"},
        {"distance symbol 31", dynamicWith([](DynamicBlock& b) { b.literal(257).distance(31); }),
         "bad code in Decompressor"},
        {"fixed literal/length symbol 286",
         [] {
             BitWriter w;
             w.bits(1, 1).bits(1, 2).fixedLiteral(286);
             return w.done();
         }(),
         "bad code in Decompressor"},
        {"fixed distance symbol 30",
         [] {
             BitWriter w;
             w.bits(1, 1).bits(1, 2).fixedLiteral('a').fixedLiteral(257).fixedDistance(30);
             return w.done();
         }(),
         "bad code in Decompressor"},
    };
    // The input ending on a byte boundary needs the block to end exactly there.
    ASSERT_EQ(fixedBlock(false, {200, 201, 202, 203, 204, 205}).size() * 8, 3u + 6 * 9 + 7);
    for (const Case& c : cases) {
        for (Feed feed : kAllFeeds) {
            SCOPED_TRACE(std::string(c.name) + ", " + feedName(feed));
            EXPECT_EQ(messageOf(c.input, feed), c.message);
        }
    }
}

TEST(Decompressor, AllDeclaredSymbolsAcceptedWhenTheyAreNotUsed) {
    // HLIT 31 and HDIST 31 declare 288 and 32 codes: accepted as long as 286, 287, 30 and 31 do
    // not occur.
    BitWriter w;
    DynamicBlock block(w, true, fullLiteralLengths(), std::vector<unsigned>(32, 5));
    block.literal('A').literal('B').literal(258).distance(1).literal(256);
    EXPECT_EQ(inflate(w.done()), text("ABABAB"));
}

TEST(Decompressor, EmptyCodesAreRejectedOnlyWhenUsed) {
    std::vector<unsigned> literalsOnly(257, 0);
    literalsOnly['a'] = 1;
    literalsOnly[256] = 1;
    {
        // A literal-only block may leave its one distance code without a length.
        BitWriter w;
        DynamicBlock block(w, true, literalsOnly, {0});
        block.literal('a').literal('a').literal(256);
        EXPECT_EQ(inflate(w.done()), text("aa"));
    }
    struct Case {
        const char* name;
        Bytes input;
    } cases[] = {
        {"length with an empty distance code",
         [&] {
             std::vector<unsigned> l = literalsOnly;
             l.push_back(2);  // symbol 257 takes a code: 'a' and 256 get 2 bits each
             l['a'] = 2;
             l[256] = 1;
             BitWriter w;
             DynamicBlock block(w, true, l, {0});
             block.literal('a').literal(257).distance(0);
             return w.done();
         }()},
        {"empty literal/length code",
         [] {
             BitWriter w;
             DynamicBlock block(w, true, std::vector<unsigned>(257, 0), {1});
             w.bits(0, 16);
             return w.done();
         }()},
        {"empty code-length code",
         [] {
             BitWriter w;
             w.bits(1, 1).bits(2, 2).bits(0, 5).bits(0, 5).bits(0, 4).bits(0, 12).bits(0, 32);
             return w.done();
         }()},
        {"pattern outside an incomplete literal code",
         [] {
             std::vector<unsigned> l(257, 0);
             l['a'] = 2;
             l[256] = 2;  // codes 00 and 01; 1x has no code
             BitWriter w;
             DynamicBlock block(w, true, l, {1});
             block.literal('a');
             w.code(3, 2).bits(0, 16);
             return w.done();
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(messageOf(c.input), "bad code in Decompressor");
    }
}

TEST(Decompressor, BadCodeLengthSequences) {
    // Header for 257 literal/length and 1 distance codes with a code-length code in which 16,
    // 17 and 18 and the lengths 0 and 1 have 3-bit codes, enough to write runs.
    auto header = [](BitWriter& w) {
        w.bits(1, 1).bits(2, 2).bits(0, 5).bits(0, 5).bits(19 - 4, 4);
        static const unsigned kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                            11, 4,  12, 3, 13, 2, 14, 1, 15};
        for (unsigned symbol : kOrder) {
            bool used = symbol >= 16 || symbol <= 2;
            w.bits(used ? 3 : 0, 3);
        }
        // Canonical 3-bit codes in symbol order: 0 -> 000, 1 -> 001, 2 -> 010, 16 -> 011,
        // 17 -> 100, 18 -> 101.
    };
    struct Case {
        const char* name;
        void (*body)(BitWriter&);
        const char* message;
    } cases[] = {
        {"repeat runs past the end",
         [](BitWriter& w) {
             for (int i = 0; i < 256; ++i) {
                 w.code(1, 3);
             }
             w.code(3, 3).bits(0, 2);  // three more of length 1: 259 > 258
         },
         "bad data (1) in Decompressor"},
        {"short zero run past the end",
         [](BitWriter& w) {
             for (int i = 0; i < 256; ++i) {
                 w.code(1, 3);
             }
             w.code(4, 3).bits(0, 3);
         },
         "bad data (2) in Decompressor"},
        {"long zero run past the end",
         [](BitWriter& w) {
             for (int i = 0; i < 2; ++i) {
                 w.code(5, 3).bits(127, 7);  // 138 zeros each: 276 > 258
             }
         },
         "bad data (3) in Decompressor"},
        {"literal/length code overfull below its longest length",
         [](BitWriter& w) {
             w.code(1, 3).code(1, 3).code(1, 3).code(2, 3);      // lengths 1, 1, 1, 2
             w.code(5, 3).bits(127, 7).code(5, 3).bits(105, 7);  // 254 zeros
         },
         "algorithm::zip::huft_build(): bad input, more codes than bits"},
        {"literal/length code overfull at its longest length",
         [](BitWriter& w) {
             for (int i = 0; i < 258; ++i) {
                 w.code(1, 3);  // 258 codes of length 1
             }
         },
         "algorithm::zip::huft_build(): short input"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        header(w);
        c.body(w);
        w.bits(0, 32);
        EXPECT_EQ(messageOf(w.done()), c.message);
    }
}

TEST(Decompressor, OutputLeavesInWholePieces) {
    struct Case {
        std::size_t size;
        std::vector<std::uint32_t> writes;
    } cases[] = {
        {0, {}},
        {1, {1}},
        {32767, {32767}},
        {32768, {32768}},
        {32769, {32768, 1}},
        {65536, {32768, 32768}},
        {100000, {32768, 32768, 32768, 1696}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        // Stored blocks of at most 1000 bytes, then a run of matches, so both kinds of block
        // cross piece boundaries.
        Bytes data = generate(c.size, 5);
        BitWriter w;
        std::size_t half = c.size / 2;
        for (std::size_t at = 0; at < half; at += 1000) {
            std::size_t n = std::min<std::size_t>(1000, half - at);
            w.bits(0, 1).bits(0, 2).align().bits(static_cast<std::uint32_t>(n), 16);
            w.bits(static_cast<std::uint32_t>(~n & 0xFFFF), 16);
            w.bytes(Bytes(data.begin() + at, data.begin() + at + n));
        }
        // The rest as fixed literals.
        w.bits(1, 1).bits(1, 2);
        for (std::size_t at = half; at < c.size; ++at) {
            w.fixedLiteral(data[at]);
        }
        w.fixedLiteral(256);

        stream::MemoryInput memory(w.done());
        stream::BufferedInput buffered(memory, 65536);
        RecordingOutput output;
        algorithm::zip::Decompressor decompressor;
        EXPECT_EQ(decompressor.process(buffered, output), c.size);
        EXPECT_EQ(output.writes, c.writes);
        EXPECT_EQ(output.puts, 0);
        EXPECT_GE(output.flushes, 1);
        EXPECT_EQ(output.data(), data);
    }
}

TEST(Decompressor, MatchesAcrossPieceBoundaries) {
    // A long run of 258-byte matches at distance 32768 and 1 goes over several piece ends.
    BitWriter w;
    w.bits(1, 1).bits(1, 2);
    Bytes expected;
    for (int i = 0; i < 40000; ++i) {
        w.fixedLiteral(i % 251);
        expected.push_back(static_cast<std::uint8_t>(i % 251));
    }
    for (int i = 0; i < 300; ++i) {
        // Length 258, distance 32768 (code 29, 13 extra bits of 8191).
        w.fixedLiteral(285).fixedDistance(29).bits(8191, 13);
        for (int k = 0; k < 258; ++k) {
            expected.push_back(expected[expected.size() - 32768]);
        }
        w.fixedLiteral(285).fixedDistance(0);
        expected.insert(expected.end(), 258, expected.back());
    }
    w.fixedLiteral(256);
    Bytes out = inflate(w.done());
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);
}

TEST(Decompressor, EveryTruncationEndsInAnException) {
    // A stored, a fixed and a dynamic block; cut anywhere, decoding must end with an error.
    Bytes data = generate(3000, 3);
    BitWriter w;
    w.bits(0, 1).bits(0, 2).align().bits(100, 16).bits(~100u & 0xFFFF, 16);
    w.bytes(Bytes(data.begin(), data.begin() + 100));
    w.bits(0, 1).bits(1, 2).fixedLiteral('x').fixedLiteral(260).fixedDistance(2).fixedLiteral(256);
    std::vector<unsigned> literals(260, 9);
    literals[256] = 9;
    DynamicBlock block(w, true, literals, std::vector<unsigned>(4, 2));
    for (int i = 0; i < 50; ++i) {
        block.literal(data[i]).literal(258).distance(i % 4);
    }
    block.literal(256);
    Bytes whole = w.done();
    ASSERT_NO_THROW(inflate(whole));
    for (Feed feed : {Feed::Buffered, Feed::TinyBuffer, Feed::Plain}) {
        for (std::size_t cut = 0; cut < whole.size(); ++cut) {
            SCOPED_TRACE(std::to_string(cut) + " bytes, " + feedName(feed));
            Bytes part(whole.begin(), whole.begin() + cut);
            EXPECT_THROW(inflate(part, feed), algorithm::Exception);
        }
    }
}

TEST(Decompressor, TruncatedDataInsideABlockReportsTheEnd) {
    Bytes literals = fixedBlock(true, text("some literal bytes"));
    literals.resize(literals.size() - 3);
    EXPECT_EQ(messageOf(literals), "unexpected end of data in Decompressor");
    Bytes stored = {0x01, 0x10, 0x00, 0xEF, 0xFF, 'a', 'b'};
    EXPECT_EQ(messageOf(stored), "unexpected end of data in Decompressor");
    EXPECT_EQ(messageOf(stored, Feed::Plain), "unexpected end of data in Decompressor");
}

TEST(Decompressor, ConsumesTheStreamAndNothingAfterIt) {
    Bytes data = generate(5000, 9);
    std::vector<Bytes> streams;
    streams.push_back(fixedBlock(true, text("tail")));
    streams.push_back({0x01, 0x02, 0x00, 0xFD, 0xFF, 'o', 'k'});
    {
        BitWriter w;
        DynamicBlock block(w, true, std::vector<unsigned>(258, 9), std::vector<unsigned>(2, 1));
        for (std::uint8_t b : data) {
            block.literal(b);
        }
        block.literal(256);
        streams.push_back(w.done());
    }
    for (const Bytes& compressed : streams) {
        for (std::uint32_t capacity : {65536u, 24u, 7u, 1u}) {
            SCOPED_TRACE(capacity);
            Bytes input = compressed;
            for (char c : std::string("TRAILER")) {
                input.push_back(static_cast<std::uint8_t>(c));
            }
            stream::MemoryInput memory(input);
            stream::BufferedInput buffered(memory, capacity);
            stream::MemoryOutput output;
            algorithm::zip::Decompressor decompressor;
            decompressor.process(buffered, output);
            if (capacity > 16) {
                EXPECT_EQ(buffered.tell(), compressed.size());
                EXPECT_EQ(buffered.get(), 'T');
            } else {
                // A buffer this small cannot hold back all that the bit reader loaded ahead.
                EXPECT_GE(buffered.tell(), compressed.size());
                EXPECT_LE(buffered.tell(), compressed.size() + 7);
            }
        }
    }
}

TEST(Decompressor, EachCallStartsAfreshWithAZeroedWindow) {
    algorithm::zip::Decompressor decompressor;
    stream::MemoryOutput first;
    stream::MemoryInput firstInput(fixedBlock(true, text("abcdef")));
    decompressor.process(firstInput, first);
    EXPECT_EQ(first.text(), "abcdef");

    // The second stream starts with a match at distance 3: zeros, not the previous call's bytes.
    BitWriter w;
    w.bits(1, 1).bits(1, 2).fixedLiteral(257).fixedDistance(2).fixedLiteral(256);
    stream::MemoryInput secondInput(w.done());
    stream::MemoryOutput second;
    EXPECT_EQ(decompressor.process(secondInput, second), 3u);
    EXPECT_EQ(second.data(), Bytes(3, 0));
}
