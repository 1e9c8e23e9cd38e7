// Helpers of the inflate tests: the data generator behind tests/data/inflate (the same one as
// make_vectors.py), a writer for hand-made Deflate streams, an output that records its writes,
// and a one-call decode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "algorithm/zip/Decompressor.h"
#include "stream/BufferedInput.h"
#include "stream/MemoryStream.h"

namespace inflatetest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes generate(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {"the",   "archive", "window", "of",      "entry", "stream",
                                         "and",   "a",       "header", "deflate", "to",    "in",
                                         "block", "code",    "length", "is"};
    std::uint32_t state = seed & 0x7FFFFFFF;
    auto next = [&state] {
        state = (state * 1103515245u + 12345u) & 0x7FFFFFFF;
        return state >> 16;
    };
    Bytes out;
    while (out.size() < size) {
        std::uint32_t r = next() % 10;
        if (r < 6) {
            std::string word = kWords[next() % 16];
            out.insert(out.end(), word.begin(), word.end());
            out.push_back(' ');
        } else if (r < 8) {
            std::uint32_t n = next() % 16;
            for (std::uint32_t i = 0; i < n; ++i) {
                out.push_back(static_cast<std::uint8_t>(next() & 0xFF));
            }
        } else if (r < 9) {
            std::uint8_t byte = static_cast<std::uint8_t>(next() & 0xFF);
            out.insert(out.end(), next() % 300, byte);
        } else if (!out.empty()) {
            std::uint32_t n = next() % 300;
            std::size_t limit = out.size() < 40000 ? out.size() : 40000;
            std::size_t distance = next() % limit + 1;
            for (std::uint32_t i = 0; i < n; ++i) {
                out.push_back(out[out.size() - distance]);
            }
        }
    }
    out.resize(size);
    return out;
}

// Writes bits least significant first, and Huffman codes first bit first.
class BitWriter {
  public:
    BitWriter& bits(std::uint32_t value, unsigned n) {
        for (unsigned i = 0; i < n; ++i) {
            bit((value >> i) & 1);
        }
        return *this;
    }
    BitWriter& code(std::uint32_t code, unsigned length) {
        for (unsigned i = length; i-- > 0;) {
            bit((code >> i) & 1);
        }
        return *this;
    }
    // Symbols of the fixed literal/length and distance codes.
    BitWriter& fixedLiteral(unsigned symbol) {
        if (symbol < 144) {
            return code(0x30 + symbol, 8);
        }
        if (symbol < 256) {
            return code(0x190 + symbol - 144, 9);
        }
        if (symbol < 280) {
            return code(symbol - 256, 7);
        }
        return code(0xC0 + symbol - 280, 8);
    }
    BitWriter& fixedDistance(unsigned symbol) { return code(symbol, 5); }
    BitWriter& bytes(const Bytes& data) {
        for (std::uint8_t b : data) {
            bits(b, 8);
        }
        return *this;
    }
    BitWriter& align() {
        while (used_ != 0) {
            bit(0);
        }
        return *this;
    }
    Bytes done() const { return out_; }
    std::size_t bitCount() const { return out_.size() * 8 - (used_ == 0 ? 0 : 8 - used_); }

  private:
    void bit(unsigned b) {
        if (used_ == 0) {
            out_.push_back(0);
        }
        out_.back() |= static_cast<std::uint8_t>(b << used_);
        used_ = (used_ + 1) % 8;
    }

    Bytes out_;
    unsigned used_ = 0;
};

// The canonical codes of a set of code lengths, by the textbook construction.
inline std::vector<std::uint32_t> canonicalCodes(const std::vector<unsigned>& lengths) {
    unsigned count[17] = {};
    for (unsigned l : lengths) {
        ++count[l];
    }
    count[0] = 0;
    std::uint32_t next[17] = {};
    std::uint32_t code = 0;
    for (unsigned bits = 1; bits <= 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i] != 0) {
            codes[i] = next[lengths[i]]++;
        }
    }
    return codes;
}

// A dynamic block header that sends every code length with a 4-bit code-length code (symbols
// 0 to 15, no repeats); afterwards literal() and distance() write symbols of the block's codes.
class DynamicBlock {
  public:
    DynamicBlock(BitWriter& out, bool final, std::vector<unsigned> literalLengths,
                 std::vector<unsigned> distanceLengths)
        : out_(out),
          literals_(std::move(literalLengths)),
          distances_(std::move(distanceLengths)),
          literalCodes_(canonicalCodes(literals_)),
          distanceCodes_(canonicalCodes(distances_)) {
        out.bits(final ? 1 : 0, 1).bits(2, 2);
        out.bits(static_cast<std::uint32_t>(literals_.size() - 257), 5);
        out.bits(static_cast<std::uint32_t>(distances_.size() - 1), 5);
        out.bits(19 - 4, 4);
        static const unsigned kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                            11, 4,  12, 3, 13, 2, 14, 1, 15};
        for (unsigned symbol : kOrder) {
            out.bits(symbol < 16 ? 4 : 0, 3);
        }
        for (unsigned l : literals_) {
            out.code(l, 4);
        }
        for (unsigned l : distances_) {
            out.code(l, 4);
        }
    }
    DynamicBlock& literal(unsigned symbol) {
        out_.code(literalCodes_.at(symbol), literals_.at(symbol));
        return *this;
    }
    DynamicBlock& distance(unsigned symbol) {
        out_.code(distanceCodes_.at(symbol), distances_.at(symbol));
        return *this;
    }

  private:
    BitWriter& out_;
    std::vector<unsigned> literals_;
    std::vector<unsigned> distances_;
    std::vector<std::uint32_t> literalCodes_;
    std::vector<std::uint32_t> distanceCodes_;
};

// Records every write as it comes.
class RecordingOutput : public stream::MemoryOutput {
  public:
    void write(const void* buffer, std::uint32_t length) override {
        writes.push_back(length);
        MemoryOutput::write(buffer, length);
    }
    void put(std::uint8_t byte) override {
        ++puts;
        MemoryOutput::put(byte);
    }
    void flush() override { ++flushes; }

    std::vector<std::uint32_t> writes;
    int puts = 0;
    int flushes = 0;
};

// How the decoder is given its input: through a BufferedInput of some capacity, or a plain
// stream read a byte at a time.
enum class Feed { Buffered, SmallBuffer, TinyBuffer, Plain };

inline const char* feedName(Feed feed) {
    switch (feed) {
        case Feed::Buffered:
            return "buffered";
        case Feed::SmallBuffer:
            return "small buffer";
        case Feed::TinyBuffer:
            return "tiny buffer";
        default:
            return "plain";
    }
}

// Decodes with Decoder: Inflate, or Deflate64Decompressor.
template <class Decoder = algorithm::zip::Decompressor>
Bytes inflate(const Bytes& compressed, Feed feed = Feed::Buffered,
              std::uint64_t* returned = nullptr) {
    stream::MemoryInput memory(compressed);
    stream::MemoryOutput output;
    Decoder decompressor;
    std::uint64_t n;
    if (feed == Feed::Plain) {
        n = decompressor.process(memory, output);
    } else {
        std::uint32_t capacity = feed == Feed::Buffered      ? 65536
                                 : feed == Feed::SmallBuffer ? 24
                                                             : 1;
        stream::BufferedInput buffered(memory, capacity);
        n = decompressor.process(buffered, output);
    }
    if (returned != nullptr) {
        *returned = n;
    }
    return output.data();
}

constexpr Feed kAllFeeds[] = {Feed::Buffered, Feed::SmallBuffer, Feed::TinyBuffer, Feed::Plain};

}  // namespace inflatetest
