// The bit reader of the Zip decompressors: bits are taken least significant first from each byte.
// Two variants differ only in what happens at the end of the input:
//   StrictBitInput (Shrink, Reduce): needbits() fails at once and adds nothing; every read
//     attempt, the failed one included, counts as a byte read.
//   PaddingBitInput (Inflate, Implode): a missing byte is taken as 0 and still added (8 more
//     bits), but needbits() reports failure, so past the end the reader delivers zero bits and
//     the first operation that crosses the end fails once.
#pragma once

#include <cstdint>

#include "stream/Stream.h"

namespace algorithm {
namespace zip {

class BitInput {
  public:
    explicit BitInput(stream::Input& input) : input_(input) {}
    virtual ~BitInput() = default;

    // n is at most 24. -1 (nothing consumed) when n bits cannot be had.
    virtual int getbits(unsigned n) {
        if (!needbits(n)) {
            return -1;
        }
        int value = static_cast<int>(buffer_ & mask(n));
        consume(n);
        return value;
    }
    virtual int getbit() { return getbits(1); }
    virtual bool needbits(unsigned n) = 0;

    std::uint64_t bytesRead() const { return bytesRead_; }
    unsigned bitsBuffered() const { return count_; }

  protected:
    static std::uint32_t mask(unsigned n) { return n >= 32 ? ~0u : (1u << n) - 1u; }
    void consume(unsigned n) {
        buffer_ = n >= 32 ? 0 : buffer_ >> n;
        count_ -= n;
    }

    stream::Input& input_;
    std::uint32_t buffer_ = 0;
    unsigned count_ = 0;
    std::uint64_t bytesRead_ = 0;
};

class StrictBitInput : public BitInput {
  public:
    using BitInput::BitInput;

    bool needbits(unsigned n) override {
        while (count_ < n) {
            int c = input_.get();
            ++bytesRead_;
            if (c < 0) {
                return false;
            }
            buffer_ |= static_cast<std::uint32_t>(c) << count_;
            count_ += 8;
        }
        return true;
    }
};

class PaddingBitInput : public BitInput {
  public:
    using BitInput::BitInput;

    bool needbits(unsigned n) override {
        bool ok = true;
        while (count_ < n) {
            int c = input_.get();
            if (c < 0) {
                ok = false;
                c = 0;
            } else {
                ++bytesRead_;
            }
            buffer_ |= static_cast<std::uint32_t>(c) << count_;
            count_ += 8;
        }
        return ok;
    }

    // The next n bits without consuming them; failure is ignored (missing bits read as zero).
    virtual int peekbits(unsigned n) {
        needbits(n);
        return static_cast<int>(buffer_ & mask(n));
    }
    // Consumes n bits if they could be had.
    virtual void dumpbits(unsigned n) {
        if (needbits(n)) {
            consume(n);
        }
    }
};

}  // namespace zip
}  // namespace algorithm
