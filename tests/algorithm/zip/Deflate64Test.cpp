// Deflate64 on hand-made streams: what differs from Deflate (distances 32,769 to 65,536 back,
// length symbol 285 with 16 extra bits, the fixed code's distance symbols 30 and 31), the same
// streams refused by Inflate, and the decoder's own messages for bad or cut data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InflateTestSupport.h"
#include "algorithm/zip/Deflate64Decompressor.h"
#include "base/Exception.h"

using namespace inflatetest;
using algorithm::zip::Deflate64Decompressor;

namespace {

Bytes random(std::size_t n, std::uint32_t seed) {
    Bytes out(n);
    std::uint32_t state = seed;
    for (auto& b : out) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

// Stored blocks holding data (none final).
void stored(BitWriter& w, const Bytes& data) {
    for (std::size_t at = 0; at < data.size(); at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, data.size() - at);
        w.bits(0, 1).bits(0, 2).align();
        w.bits(static_cast<std::uint32_t>(n), 16).bits(static_cast<std::uint32_t>(~n & 0xFFFF), 16);
        w.bytes(Bytes(data.begin() + at, data.begin() + at + n));
    }
}

// A fixed-code match: length symbol with extra bits, then distance symbol with extra bits.
void match(BitWriter& w, unsigned lengthSymbol, std::uint32_t lengthExtra, unsigned lengthBits,
           unsigned distanceSymbol, std::uint32_t distanceExtra, unsigned distanceBits) {
    w.fixedLiteral(lengthSymbol).bits(lengthExtra, lengthBits);
    w.fixedDistance(distanceSymbol).bits(distanceExtra, distanceBits);
}

// Expected output of a match of length bytes from distance back, appended to out.
void copy(Bytes& out, std::size_t distance, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(out[out.size() - distance]);
    }
}

std::string messageOf(const Bytes& compressed) {
    try {
        inflate<Deflate64Decompressor>(compressed);
    } catch (const algorithm::Exception& e) {
        return e.message();
    }
    return "(no exception)";
}

}  // namespace

TEST(Deflate64, FarDistancesAndLongLengths) {
    const Bytes history = random(70000, 1);
    struct Case {
        const char* name;
        unsigned lengthSymbol;
        std::uint32_t lengthExtra;
        unsigned lengthBits;
        std::size_t length;
        unsigned distanceSymbol;
        std::uint32_t distanceExtra;
        std::size_t distance;
    } cases[] = {
        // Symbol 30: 32,769 + 14 bits; symbol 31: 49,153 + 14 bits, up to 65,536.
        {"distance 40,000 (symbol 30)", 265, 1, 1, 12, 30, 40000 - 32769, 40000},
        {"distance 65,536 (symbol 31, all extra bits set)", 284, 30, 5, 257, 31, 16383, 65536},
        {"distance 50,000, longest length 65,538", 285, 65535, 16, 65538, 31, 50000 - 49153, 50000},
        {"length 285 with no extra bits is 3", 285, 0, 16, 3, 29, 0, 24577},
        {"a run of 65,538 from one byte back", 285, 65535, 16, 65538, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        stored(w, history);
        w.bits(1, 1).bits(1, 2);
        const unsigned distanceBits = c.distanceSymbol >= 30 ? 14 : c.distanceSymbol == 29 ? 13 : 0;
        match(w, c.lengthSymbol, c.lengthExtra, c.lengthBits, c.distanceSymbol, c.distanceExtra,
              distanceBits);
        w.fixedLiteral('!').fixedLiteral(256);
        Bytes expected = history;
        copy(expected, c.distance, c.length);
        expected.push_back('!');
        for (Feed feed : kAllFeeds) {
            SCOPED_TRACE(feedName(feed));
            std::uint64_t returned = 0;
            const Bytes out = inflate<Deflate64Decompressor>(w.done(), feed, &returned);
            ASSERT_EQ(out.size(), expected.size());
            EXPECT_TRUE(out == expected);
            EXPECT_EQ(returned, expected.size());
        }
    }
}

TEST(Deflate64, InflateReadsTheSameSymbolsAsDeflate) {
    // Length symbol 285 is 258 with no extra bits in Deflate, and distance symbols 30 and 31
    // must not occur: the streams above mean something else there or nothing at all.
    const Bytes history = random(1000, 2);
    BitWriter w;
    stored(w, history);
    w.bits(1, 1).bits(1, 2);
    w.fixedLiteral(285).fixedDistance(0).fixedLiteral(256);
    Bytes deflate = history;
    copy(deflate, 1, 258);
    EXPECT_TRUE(inflate(w.done()) == deflate);
    // In Deflate64 the 16 extra bits take the next codes and run past the end.
    EXPECT_THROW(inflate<Deflate64Decompressor>(w.done()), algorithm::Exception);

    BitWriter far;
    stored(far, history);
    far.bits(1, 1).bits(1, 2);
    match(far, 257, 0, 0, 30, 0, 14);
    far.fixedLiteral(256);
    try {
        inflate(far.done());
        ADD_FAILURE() << "Inflate accepted distance symbol 30";
    } catch (const algorithm::Exception& e) {
        EXPECT_EQ(e.message(), "bad code in Decompressor");
    }
}

TEST(Deflate64, OwnMessagesForBadData) {
    struct Case {
        const char* name;
        Bytes input;
        const char* message;
    } cases[] = {
        {"block type 3", {0x07}, "bad block type in Deflate64Decompressor"},
        {"stored length and complement disagree",
         {0x01, 0x03, 0x00, 0xFF, 0xFF},
         "error in compressed data in Deflate64Decompressor"},
        {"fixed symbol 286",
         [] {
             BitWriter w;
             w.bits(1, 1).bits(1, 2).fixedLiteral(286);
             return w.done();
         }(),
         "bad code in Deflate64Decompressor"},
        {"cut inside a fixed block",
         [] {
             BitWriter w;
             w.bits(1, 1).bits(1, 2).fixedLiteral('a').fixedLiteral('b');
             return w.done();
         }(),
         "unexpected end of data in Deflate64Decompressor"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(messageOf(c.input), c.message) << c.name;
    }
}

TEST(Deflate64, EveryCutOfALongMatchStreamEndsInAnError) {
    const Bytes history = random(66000, 3);
    BitWriter w;
    stored(w, history);
    w.bits(1, 1).bits(1, 2);
    match(w, 285, 40000, 16, 31, 16000, 14);
    match(w, 285, 9, 16, 30, 77, 14);
    w.fixedLiteral(256);
    const Bytes whole = w.done();
    Bytes expected = history;
    copy(expected, 49153 + 16000, 40003);
    copy(expected, 32769 + 77, 12);
    ASSERT_TRUE(inflate<Deflate64Decompressor>(whole) == expected);
    // The stored part can be cut anywhere to the same effect; the codes after it are what matter.
    for (std::size_t cut = whole.size() - 16; cut < whole.size(); ++cut) {
        const Bytes part(whole.begin(), whole.begin() + cut);
        for (Feed feed : kAllFeeds) {
            EXPECT_THROW(inflate<Deflate64Decompressor>(part, feed), algorithm::Exception)
                << "cut at " << cut << ", " << feedName(feed);
        }
    }
}
