// The range decoder under LZMA: 11-bit adaptive bit probabilities, bit trees of them, and bits
// of equal probability. The LZMA decoder keeps one on its stack while it decodes, so that the
// range, the code and the input pointers stay in registers; only the refill of the input
// buffer leaves the inline code, and it hands the new span back by value.
#pragma once

#include <cstdint>

#include "stream/BufferedInput.h"

namespace algorithm {
namespace zip {

// A probability, in 1/2048ths, that the next bit is 0.
using LzmaProbability = std::uint16_t;

constexpr unsigned kLzmaProbabilityBits = 11;
constexpr LzmaProbability kLzmaProbabilityHalf = 1u << (kLzmaProbabilityBits - 1);

class LzmaRangeDecoder {
  public:
    // The bytes of a BufferedInput's memory the decoder may read, from next up to end.
    struct Span {
        const std::uint8_t* next;
        const std::uint8_t* end;
    };

    // Reads the five bytes that open the stream: a zero byte and the first code. Throws
    // algorithm::Exception when they are missing or impossible.
    explicit LzmaRangeDecoder(stream::BufferedInput& input);

    // Hands the bytes read back to the input, which then stands just after the last one used.
    void giveBack() { input_.advance(static_cast<std::uint32_t>(span_.next - input_.current())); }

    // Whether the stream ended cleanly: after the last bit, the encoder's flush leaves a code
    // of 0.
    bool finishedCleanly() const { return code_ == 0; }

    unsigned bit(LzmaProbability& probability) {
        normalize();
        const std::uint32_t bound = (range_ >> kLzmaProbabilityBits) * probability;
        if (code_ < bound) {
            range_ = bound;
            probability += ((1u << kLzmaProbabilityBits) - probability) >> kMoveBits;
            return 0;
        }
        range_ -= bound;
        code_ -= bound;
        probability -= probability >> kMoveBits;
        return 1;
    }

    // A symbol of `bits` bits, most significant first, through a tree of 2^bits probabilities
    // (index 0 unused).
    template <unsigned bits>
    unsigned tree(LzmaProbability* probabilities) {
        unsigned node = 1;
        for (unsigned i = 0; i < bits; ++i) {
            node = (node << 1) | bit(probabilities[node]);
        }
        return node - (1u << bits);
    }

    // The same tree walk for bits that come least significant first (the low bits of
    // distances).
    unsigned reverseTree(LzmaProbability* probabilities, unsigned bits) {
        unsigned node = 1;
        unsigned symbol = 0;
        for (unsigned i = 0; i < bits; ++i) {
            const unsigned b = bit(probabilities[node]);
            node = (node << 1) | b;
            symbol |= b << i;
        }
        return symbol;
    }

    // count bits of probability one half, most significant first.
    std::uint32_t direct(unsigned count) {
        std::uint32_t result = 0;
        for (unsigned i = 0; i < count; ++i) {
            normalize();
            range_ >>= 1;
            // code_ >= range_ gives 1; the subtraction happens only then.
            const std::uint32_t one = code_ >= range_ ? 1u : 0u;
            code_ -= range_ & (0u - one);
            result = (result << 1) | one;
        }
        return result;
    }

  private:
    static constexpr unsigned kMoveBits = 5;
    static constexpr std::uint32_t kTop = 1u << 24;

    void normalize() {
        if (range_ < kTop) {
            if (span_.next == span_.end) {
                span_ = refill(input_, span_.next);
            }
            range_ <<= 8;
            code_ = (code_ << 8) | *span_.next++;
        }
    }

    // Consumes the bytes up to next, fetches more and returns them; throws
    // algorithm::Exception at the end of the input.
    static Span refill(stream::BufferedInput& input, const std::uint8_t* next);

    stream::BufferedInput& input_;
    Span span_;
    std::uint32_t range_ = 0xFFFFFFFFu;
    std::uint32_t code_ = 0;
};

}  // namespace zip
}  // namespace algorithm
