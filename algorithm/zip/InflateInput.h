// The bit reader of the Deflate decoder. Bits come least significant first from a 64-bit
// buffer that is refilled several bytes at a time straight from a BufferedInput's memory (any
// other input is read a byte at a time). Past the end of the input it supplies zero bits and
// remembers how many, so the decoder can tell when it has consumed bits that do not exist.
#pragma once

#include <cstdint>
#include <cstring>

#include "stream/BufferedInput.h"
#include "stream/Stream.h"

namespace algorithm {
namespace zip {

// The 8 bytes at from as a number, the first byte lowest.
inline std::uint64_t loadLittleEndian64(const std::uint8_t* from) {
    std::uint64_t word;
    std::memcpy(&word, from, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

class InflateInput {
  public:
    explicit InflateInput(stream::Input& input)
        : input_(input), direct_(dynamic_cast<stream::BufferedInput*>(&input)) {
        if (direct_ != nullptr) {
            next_ = end_ = direct_->current();
        }
    }
    InflateInput(const InflateInput&) = delete;
    InflateInput& operator=(const InflateInput&) = delete;

    static std::uint64_t mask(unsigned n) { return (std::uint64_t(1) << n) - 1; }

    // At least 49 bits are buffered afterwards (zero bits past the end of the input).
    void refill() {
        if (end_ - next_ >= 8) {
            bits_ |= load(next_) << count_;
            unsigned bytes = (63 - count_) >> 3;
            next_ += bytes;
            count_ += bytes * 8;
        } else {
            refillSlowly();
        }
    }
    std::uint64_t bits() const { return bits_; }
    unsigned count() const { return count_; }
    void consume(unsigned n) {
        bits_ >>= n;
        count_ -= n;
    }
    // Whether bits past the end of the input have been consumed.
    bool overrun() const { return count_ < padding_; }

    // Reads n (at most 16) bits for a header field. Fails with -1, consuming nothing, when the
    // field reaches past the end of the input into zero bits not yet granted by an earlier
    // failure; a failure grants the zero bytes it reached into, so a following read may take
    // them (as if they had been read and found missing).
    int getbits(unsigned n);
    // Drops the bits left in the current byte.
    void align() { consumeHeader(count_ % 8); }
    // Copies n whole bytes (the reader being byte-aligned); false when the input ends first.
    bool copyBytes(std::uint8_t* to, std::uint32_t n);
    // Returns the whole bytes loaded but not consumed to a BufferedInput, so that it stands just
    // after the last byte used.
    void giveBack();

  private:
    // The block decoder keeps the buffer in registers while it decodes codes.
    friend class Decompressor;

    static std::uint64_t load(const std::uint8_t* from) { return loadLittleEndian64(from); }
    void refillSlowly();
    void consumeHeader(unsigned n);
    // Hands the bytes loaded from the BufferedInput's memory back to it, keeping the whole
    // unused ones unread, and refills it.
    bool fetch();

    stream::Input& input_;
    stream::BufferedInput* direct_;
    // direct_->current() up to next_ is loaded into the bit buffer; next_ to end_ is not.
    const std::uint8_t* next_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
    // Zero bits added past the end of the input; they sit at the top of the buffer.
    unsigned padding_ = 0;
    // Of those, how many a failed header read has taken as read.
    unsigned granted_ = 0;
    bool ended_ = false;
};

}  // namespace zip
}  // namespace algorithm
