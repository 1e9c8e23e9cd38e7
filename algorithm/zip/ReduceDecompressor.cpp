#include "algorithm/zip/ReduceDecompressor.h"

#include <algorithm>
#include <string>

#include "algorithm/zip/BitInput.h"
#include "algorithm/zip/WindowCopy.h"
#include "base/Decimal.h"
#include "base/Exception.h"

namespace algorithm {
namespace zip {

namespace {

constexpr int kEscape = 144;

struct FactorLayout {
    unsigned lengthMask;
    unsigned distanceShift;
    unsigned distanceMask;
};

// Indexed by factor - 1.
constexpr FactorLayout kLayouts[4] = {{0x7F, 7, 1}, {0x3F, 6, 3}, {0x1F, 5, 7}, {0x0F, 4, 15}};

// The bits of a follower index: enough to write count - 1, at least one.
unsigned indexBits(unsigned count) {
    unsigned bits = 1;
    while ((1u << bits) < count) {
        ++bits;
    }
    return bits;
}

}  // namespace

ReduceDecompressor::ReduceDecompressor(std::uint32_t factor)
    : factor_(factor), window_(kWindowSize) {
    if (factor < 1 || factor > 4) {
        throw Exception("algorithm::zip::ReduceDecompressor: compression factor " +
                        generic::decimal(factor) + " is not 1 to 4");
    }
}

void ReduceDecompressor::readFollowerSets(BitInput& bits) {
    for (int x = 255; x >= 0; --x) {
        // Six bits cannot exceed 63, so a count always fits its row.
        int count = bits.getbits(6);
        if (count < 0) {
            throw Exception("algorithm::zip::ReduceDecompressor: end of data in the follower sets");
        }
        followerCount_[x] = static_cast<std::uint8_t>(count);
        for (int i = 0; i < count; ++i) {
            int follower = bits.getbits(8);
            if (follower < 0) {
                throw Exception(
                    "algorithm::zip::ReduceDecompressor: end of data in the follower sets");
            }
            followers_[x][i] = static_cast<std::uint8_t>(follower);
        }
    }
}

void ReduceDecompressor::flushWindow() {
    output_->write(window_.data(), position_);
    written_ += position_;
    position_ = 0;
    firstWindow_ = false;
}

void ReduceDecompressor::put(std::uint8_t byte) {
    window_[position_++] = byte;
    --remaining_;
    if (position_ == kWindowSize) {
        flushWindow();
    }
}

// Copies length bytes from distance bytes back, in pieces that end at the window's end on
// either side. Before the first window is written out, bytes before the start read as zeros.
void ReduceDecompressor::copyMatch(unsigned distance, unsigned length) {
    remaining_ -= std::min<std::uint64_t>(remaining_, length);
    unsigned source = (position_ + kWindowSize - distance) % kWindowSize;
    while (length > 0) {
        unsigned piece = copyWindowPiece(window_, source, position_, length, firstWindow_);
        length -= piece;
        source = (source + piece) % kWindowSize;
        position_ += piece;
        if (position_ == kWindowSize) {
            flushWindow();
        }
    }
}

std::uint64_t ReduceDecompressor::process(stream::InputStream& input, stream::OutputStream& output,
                                          std::uint64_t size) {
    StrictBitInput bits(input);
    readFollowerSets(bits);

    const FactorLayout& layout = kLayouts[factor_ - 1];
    output_ = &output;
    remaining_ = size;
    written_ = 0;
    position_ = 0;
    firstWindow_ = true;

    unsigned previous = 0;
    unsigned state = 0;
    unsigned length = 0;
    unsigned v = 0;
    while (remaining_ > 0) {
        int c;
        unsigned count = followerCount_[previous];
        if (count == 0) {
            c = bits.getbits(8);
        } else {
            int literal = bits.getbits(1);
            if (literal < 0) {
                break;
            }
            if (literal != 0) {
                c = bits.getbits(8);
            } else {
                int index = bits.getbits(indexBits(count));
                c = index < 0 ? -1 : followers_[previous][index];
            }
        }
        // The data does not mark its end; running out early leaves a short result for the
        // entry's CRC check to reject.
        if (c < 0) {
            break;
        }

        switch (state) {
            case 0:
                if (c == kEscape) {
                    state = 1;
                } else {
                    put(static_cast<std::uint8_t>(c));
                }
                break;
            case 1:
                if (c == 0) {
                    put(kEscape);
                    state = 0;
                } else {
                    v = static_cast<unsigned>(c);
                    length = v & layout.lengthMask;
                    state = length == layout.lengthMask ? 2 : 3;
                }
                break;
            case 2:
                length += static_cast<unsigned>(c);
                state = 3;
                break;
            default: {
                unsigned distance =
                    ((v >> layout.distanceShift) & layout.distanceMask) * 256 + c + 1;
                copyMatch(distance, length + 3);
                state = 0;
                break;
            }
        }
        previous = static_cast<unsigned>(c);
    }
    flushWindow();
    output.flush();
    output_ = nullptr;
    return written_;
}

}  // namespace zip
}  // namespace algorithm
