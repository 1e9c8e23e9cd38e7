#include "algorithm/zip/ShrinkDecompressor.h"

#include <algorithm>

#include "algorithm/zip/BitInput.h"
#include "base/Exception.h"

namespace algorithm {
namespace zip {

namespace {

constexpr unsigned kTableSize = 8192;
constexpr unsigned kControlCode = 256;
constexpr unsigned kFirstFreeCode = 257;
constexpr unsigned kInitialCodeSize = 9;
constexpr unsigned kMaxCodeSize = 13;  // 2^13 codes fill the tables exactly
constexpr int kGrowCodeSize = 1;
constexpr int kPartialClear = 2;
constexpr std::uint16_t kFree = 0xFFFF;
// Marks a code as a possible leaf during a partial clear; real prefixes stay below 8,192.
constexpr std::uint16_t kLeafMark = 0x8000;

const char* const kKind = "ShrinkDecompressor";

// Delivers at most limit bytes of the wrapped input, then reports its end.
class LimitedInput : public stream::Input {
  public:
    LimitedInput(stream::Input& next, std::uint64_t limit) : next_(next), left_(limit) {}

    int get() override {
        if (left_ == 0) {
            return -1;
        }
        --left_;
        return next_.get();
    }

  private:
    stream::Input& next_;
    std::uint64_t left_;
};

}  // namespace

ShrinkDecompressor::ShrinkDecompressor()
    : prefix_(kTableSize), suffix_(kTableSize), stack_(kTableSize) {}

void ShrinkDecompressor::advanceNextFree(unsigned from) {
    nextFree_ = from;
    while (nextFree_ < kTableSize && prefix_[nextFree_] != kFree) {
        ++nextFree_;
    }
}

// Frees every leaf: each code in use that no other code in use extends. Codes above the next
// free one can be in use after an earlier clear, so the whole table is walked; a code whose
// child survives must not be handed out again while the child still refers to it.
void ShrinkDecompressor::partialClear() {
    for (unsigned code = kFirstFreeCode; code < kTableSize; ++code) {
        if (prefix_[code] != kFree) {
            prefix_[code] |= kLeafMark;
        }
    }
    for (unsigned code = kFirstFreeCode; code < kTableSize; ++code) {
        if (prefix_[code] == kFree) {
            continue;
        }
        unsigned parent = prefix_[code] & ~kLeafMark;
        if (parent >= kFirstFreeCode && prefix_[parent] != kFree) {
            prefix_[parent] &= ~kLeafMark;
        }
    }
    for (unsigned code = kFirstFreeCode; code < kTableSize; ++code) {
        if (prefix_[code] != kFree && (prefix_[code] & kLeafMark) != 0) {
            prefix_[code] = kFree;
        }
    }
    advanceNextFree(kFirstFreeCode);
}

std::uint64_t ShrinkDecompressor::process(stream::InputStream& input, stream::OutputStream& output,
                                          std::uint64_t size) {
    LimitedInput limited(input, size);
    StrictBitInput bits(limited);

    std::fill(prefix_.begin(), prefix_.end(), kFree);
    std::fill(prefix_.begin(), prefix_.begin() + kControlCode, 0);
    for (unsigned i = 0; i < 256; ++i) {
        suffix_[i] = static_cast<std::uint8_t>(i);
    }
    unsigned codeSize = kInitialCodeSize;
    nextFree_ = kFirstFreeCode;

    int first = bits.getbits(kInitialCodeSize);
    if (first < 0) {
        throw Exception("end of stream reading the first code", kKind);
    }
    output.put(static_cast<std::uint8_t>(first));
    std::uint64_t written = 1;
    unsigned previous = static_cast<unsigned>(first);
    std::uint8_t previousFirst = static_cast<std::uint8_t>(first);

    for (;;) {
        int code = bits.getbits(codeSize);
        while (code == static_cast<int>(kControlCode)) {
            int sub = bits.getbits(codeSize);
            if (sub == kGrowCodeSize) {
                if (codeSize == kMaxCodeSize) {
                    throw Exception("code size raised beyond 13 bits", kKind);
                }
                ++codeSize;
            } else if (sub == kPartialClear) {
                partialClear();
            }
            code = bits.getbits(codeSize);
        }
        if (code < 0) {
            break;
        }

        // Corrupt data can chain codes longer than any real string, or in a loop through free
        // codes; the stack bounds both.
        std::size_t front = stack_.size();
        auto prepend = [&](std::uint8_t byte) {
            if (front == 0) {
                throw Exception("code chain longer than the string stack", kKind);
            }
            stack_[--front] = byte;
        };
        // A code not yet defined (the compressor's newest one) is the previous string followed
        // by that string's own first byte.
        unsigned current = static_cast<unsigned>(code);
        if (prefix_[current] == kFree) {
            prepend(previousFirst);
            current = previous;
        }
        while (current >= kFirstFreeCode) {
            if (prefix_[current] == kFree) {
                prepend(previousFirst);
                current = previous;
            } else {
                prepend(suffix_[current]);
                current = prefix_[current];
            }
        }
        prepend(suffix_[current]);
        std::uint8_t firstByte = stack_[front];
        std::size_t length = stack_.size() - front;
        output.write(stack_.data() + front, static_cast<std::uint32_t>(length));
        written += length;

        if (nextFree_ < kTableSize) {
            prefix_[nextFree_] = static_cast<std::uint16_t>(previous);
            suffix_[nextFree_] = firstByte;
            advanceNextFree(nextFree_ + 1);
        }
        previous = static_cast<unsigned>(code);
        previousFirst = firstByte;
    }
    output.flush();
    return written;
}

}  // namespace zip
}  // namespace algorithm
