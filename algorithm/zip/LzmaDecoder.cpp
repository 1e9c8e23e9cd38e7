#include "algorithm/zip/LzmaDecoder.h"

#include <algorithm>
#include <cstring>

#include "base/Decimal.h"
#include "base/Exception.h"
#include "stream/BufferedInput.h"

namespace algorithm {
namespace zip {

namespace {

// Where each group of probabilities starts in the one array that holds them all. The decoder
// is in one of 12 states (what the last symbols were) and at one of up to 16 position states.
constexpr unsigned kStates = 12;
constexpr unsigned kPositionStatesMax = 16;
constexpr unsigned kIsMatch = 0;
constexpr unsigned kIsRep = kIsMatch + kStates * kPositionStatesMax;
constexpr unsigned kIsRepG0 = kIsRep + kStates;
constexpr unsigned kIsRepG1 = kIsRepG0 + kStates;
constexpr unsigned kIsRepG2 = kIsRepG1 + kStates;
constexpr unsigned kIsRep0Long = kIsRepG2 + kStates;
// Distance slots: 6-bit trees, one per length of 2, 3, 4 and 5 or more.
constexpr unsigned kDistanceSlot = kIsRep0Long + kStates * kPositionStatesMax;
constexpr unsigned kLengthStates = 4;
// The reverse trees of slots 4 to 13 share one array; slot s starts at its base distance less s.
constexpr unsigned kEndSlotModel = 14;
constexpr unsigned kFullDistances = 1u << (kEndSlotModel / 2);
constexpr unsigned kSpecialDistance = kDistanceSlot + kLengthStates * 64;
constexpr unsigned kAlign = kSpecialDistance + 1 + kFullDistances - kEndSlotModel;
constexpr unsigned kAlignBits = 4;
// A length coder: two choice bits, then 8 low (2 to 9) and 8 middle (10 to 17) lengths per
// position state, and 256 high ones (18 to 273).
constexpr unsigned kChoice = 0;
constexpr unsigned kChoice2 = 1;
constexpr unsigned kLow = 2;
constexpr unsigned kMid = kLow + kPositionStatesMax * 8;
constexpr unsigned kHigh = kMid + kPositionStatesMax * 8;
constexpr unsigned kLengthCoderSize = kHigh + 256;
constexpr unsigned kMatchLength = kAlign + (1u << kAlignBits);
constexpr unsigned kRepLength = kMatchLength + kLengthCoderSize;
constexpr unsigned kLiteral = kRepLength + kLengthCoderSize;
constexpr unsigned kLiteralCoderSize = 0x300;

constexpr unsigned kMatchMinLength = 2;
// States below this one follow a literal: the next literal is coded without a match byte.
constexpr unsigned kLiteralStates = 7;
// A dictionary size below this is read as this.
constexpr std::uint32_t kMinDictionary = 1u << 12;
// The end marker is a match at this distance.
constexpr std::uint32_t kEndMarkerDistance = 0xFFFFFFFFu;
// The decoded bytes go out in pieces of at most this size, so that progress moves.
constexpr std::uint32_t kOutputPiece = 1u << 18;

constexpr unsigned kZipHeaderSize = 4;
constexpr unsigned kPropertiesSize = 5;

[[noreturn]] void fail(const std::string& message) {
    throw Exception(message + " in LzmaDecoder");
}

[[noreturn]] void truncated() {
    fail("unexpected end of LZMA data");
}

unsigned lengthFrom(LzmaRangeDecoder& range, LzmaProbability* coder, unsigned positionState) {
    if (range.bit(coder[kChoice]) == 0) {
        return range.tree<3>(coder + kLow + positionState * 8);
    }
    if (range.bit(coder[kChoice2]) == 0) {
        return 8 + range.tree<3>(coder + kMid + positionState * 8);
    }
    return 16 + range.tree<8>(coder + kHigh);
}

// The distance less one of a match whose length (less 2) is length.
std::uint32_t distanceFrom(LzmaRangeDecoder& range, LzmaProbability* probabilities,
                           unsigned length) {
    const unsigned lengthState = std::min(length, kLengthStates - 1);
    const unsigned slot = range.tree<6>(probabilities + kDistanceSlot + lengthState * 64);
    if (slot < 4) {
        return slot;
    }
    const unsigned directBits = (slot >> 1) - 1;
    std::uint32_t distance = (2u | (slot & 1u)) << directBits;
    if (slot < kEndSlotModel) {
        return distance +
               range.reverseTree(probabilities + kSpecialDistance + distance - slot, directBits);
    }
    distance += range.direct(directBits - kAlignBits) << kAlignBits;
    return distance + range.reverseTree(probabilities + kAlign, kAlignBits);
}

}  // namespace

LzmaRangeDecoder::LzmaRangeDecoder(stream::BufferedInput& input)
    : input_(input), span_{input.current(), input.current() + input.available()} {
    std::uint32_t first = 0;
    for (int i = 0; i < 5; ++i) {
        if (span_.next == span_.end) {
            span_ = refill(input_, span_.next);
        }
        first = i == 0 ? *span_.next++ : first;
        code_ = i == 0 ? 0 : (code_ << 8) | *span_.next++;
    }
    // The encoder's first byte is always 0, and a code of all ones lies outside any range.
    if (first != 0 || code_ == range_) {
        fail("bad LZMA stream start");
    }
}

LzmaRangeDecoder::Span LzmaRangeDecoder::refill(stream::BufferedInput& input,
                                                const std::uint8_t* next) {
    input.advance(static_cast<std::uint32_t>(next - input.current()));
    if (!input.fill()) {
        truncated();
    }
    return Span{input.current(), input.current() + input.available()};
}

LzmaDecoder::LzmaDecoder(bool endMarker) : endMarker_(endMarker) {}

LzmaDecoder::~LzmaDecoder() = default;

LzmaDecoder::Properties LzmaDecoder::readHeader(stream::BufferedInput& input) {
    std::uint8_t header[kZipHeaderSize + kPropertiesSize];
    for (std::uint8_t& byte : header) {
        const int got = input.get();
        if (got < 0) {
            truncated();
        }
        byte = static_cast<std::uint8_t>(got);
    }
    // header[0] and [1] are the version of the encoder that wrote it: any will do.
    const unsigned propertiesSize = header[2] | (header[3] << 8);
    if (propertiesSize != kPropertiesSize) {
        fail("bad LZMA properties size " + generic::decimal(propertiesSize) + " (not 5)");
    }
    unsigned packed = header[4];
    if (packed >= 9 * 5 * 5) {
        fail("bad LZMA properties byte " + generic::decimal(packed));
    }
    Properties properties;
    properties.literalContextBits = packed % 9;
    packed /= 9;
    properties.literalPositionBits = packed % 5;
    properties.positionBits = packed / 5;
    if (properties.literalContextBits + properties.literalPositionBits > 4) {
        fail("unsupported LZMA literal coding (lc " +
             generic::decimal(properties.literalContextBits) + " + lp " +
             generic::decimal(properties.literalPositionBits) + " is more than 4)");
    }
    properties.dictionarySize = std::uint32_t(header[5]) | std::uint32_t(header[6]) << 8 |
                                std::uint32_t(header[7]) << 16 | std::uint32_t(header[8]) << 24;
    return properties;
}

std::uint64_t LzmaDecoder::process(stream::InputStream& input, stream::OutputStream& output,
                                   std::uint64_t size) {
    auto* buffered = dynamic_cast<stream::BufferedInput*>(&input);
    std::unique_ptr<stream::BufferedInput> own;
    if (buffered == nullptr) {
        own = std::make_unique<stream::BufferedInput>(input, 0x10000);
        buffered = own.get();
    }
    const Properties properties = readHeader(*buffered);

    // The history never needs to hold more than the entry, whatever the header asks.
    const std::uint64_t dictionary = std::max(properties.dictionarySize, kMinDictionary);
    const std::uint64_t window = std::max<std::uint64_t>(std::min(dictionary, size), 1);
    if (window > kMaxWindow) {
        fail("LZMA dictionary of " + generic::decimal(properties.dictionarySize) +
             " bytes refused (more than " + generic::decimal(kMaxWindow >> 20) + " MB)");
    }
    if (window != windowSize_) {
        window_.reset();
        window_.reset(new std::uint8_t[window]);
        windowSize_ = static_cast<std::uint32_t>(window);
    }
    position_ = flushed_ = 0;
    const std::uint64_t start = output.tell();
    decode(*buffered, output, properties, size);
    output.flush();
    return output.tell() - start;
}

void LzmaDecoder::flushWindow(stream::OutputStream& output) {
    if (position_ > flushed_) {
        output.write(window_.get() + flushed_, position_ - flushed_);
    }
    if (position_ == windowSize_) {
        position_ = 0;
    }
    flushed_ = position_;
}

std::uint64_t LzmaDecoder::decode(stream::BufferedInput& input, stream::OutputStream& output,
                                  const Properties& properties, std::uint64_t size) {
    probabilities_.assign(kLiteral + (kLiteralCoderSize << (properties.literalContextBits +
                                                            properties.literalPositionBits)),
                          kLzmaProbabilityHalf);
    LzmaProbability* const p = probabilities_.data();
    std::uint8_t* const window = window_.get();
    const unsigned lc = properties.literalContextBits;
    const std::uint32_t literalPositionMask = (1u << properties.literalPositionBits) - 1;
    const std::uint32_t positionMask = (1u << properties.positionBits) - 1;

    LzmaRangeDecoder range(input);
    unsigned state = 0;
    std::uint32_t rep0 = 0, rep1 = 0, rep2 = 0, rep3 = 0;
    std::uint64_t total = 0;
    unsigned previous = 0;
    std::uint32_t limit = std::min(windowSize_, kOutputPiece);

    for (;;) {
        if (total == size && !endMarker_ && range.finishedCleanly()) {
            break;
        }
        const unsigned positionState = static_cast<unsigned>(total) & positionMask;
        if (range.bit(p[kIsMatch + (state << 4) + positionState]) == 0) {
            if (total == size) {
                fail("LZMA data goes on past the end of the entry");
            }
            LzmaProbability* literal =
                p + kLiteral +
                kLiteralCoderSize *
                    ((((static_cast<std::uint32_t>(total) & literalPositionMask) << lc) +
                      (previous >> (8 - lc))));
            unsigned symbol = 1;
            if (state >= kLiteralStates) {
                // After a match the byte at the last distance predicts this one, bit by bit,
                // until they differ.
                const std::uint32_t from =
                    position_ > rep0 ? position_ - rep0 - 1 : position_ + windowSize_ - rep0 - 1;
                unsigned match = window[from];
                do {
                    const unsigned matchBit = (match >> 7) & 1;
                    match <<= 1;
                    const unsigned bit = range.bit(literal[((1 + matchBit) << 8) + symbol]);
                    symbol = (symbol << 1) | bit;
                    if (bit != matchBit) {
                        break;
                    }
                } while (symbol < 0x100);
            }
            while (symbol < 0x100) {
                symbol = (symbol << 1) | range.bit(literal[symbol]);
            }
            previous = symbol & 0xFF;
            window[position_++] = static_cast<std::uint8_t>(previous);
            ++total;
            state = state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
            if (position_ == limit) {
                flushWindow(output);
                limit = std::min(windowSize_, position_ + kOutputPiece);
            }
            continue;
        }

        // The bytes to copy from rep0 once the distances are updated.
        std::uint32_t left;
        if (range.bit(p[kIsRep + state]) == 0) {
            const unsigned length = lengthFrom(range, p + kMatchLength, positionState);
            state = state < kLiteralStates ? 7 : 10;
            const std::uint32_t distance = distanceFrom(range, p, length);
            if (distance == kEndMarkerDistance) {
                if (!range.finishedCleanly()) {
                    fail("bad LZMA data at the end marker");
                }
                break;
            }
            rep3 = rep2;
            rep2 = rep1;
            rep1 = rep0;
            rep0 = distance;
            left = length + kMatchMinLength;
        } else {
            if (total == 0) {
                fail("LZMA data repeats a match before any byte");
            }
            bool shortRep = false;
            if (range.bit(p[kIsRepG0 + state]) == 0) {
                // The last distance again: one byte of it, or a match.
                shortRep = range.bit(p[kIsRep0Long + (state << 4) + positionState]) == 0;
            } else {
                std::uint32_t distance;
                if (range.bit(p[kIsRepG1 + state]) == 0) {
                    distance = rep1;
                } else {
                    if (range.bit(p[kIsRepG2 + state]) == 0) {
                        distance = rep2;
                    } else {
                        distance = rep3;
                        rep3 = rep2;
                    }
                    rep2 = rep1;
                }
                rep1 = rep0;
                rep0 = distance;
            }
            if (shortRep) {
                state = state < kLiteralStates ? 9 : 11;
                left = 1;
            } else {
                left = lengthFrom(range, p + kRepLength, positionState) + kMatchMinLength;
                state = state < kLiteralStates ? 8 : 11;
            }
        }
        if (rep0 >= total || rep0 >= windowSize_) {
            fail("LZMA distance reaches before the data");
        }
        if (size - total < left) {
            fail("LZMA data goes on past the end of the entry");
        }
        total += left;
        while (left > 0) {
            std::uint32_t from =
                position_ > rep0 ? position_ - rep0 - 1 : position_ + windowSize_ - rep0 - 1;
            const std::uint32_t n = std::min({left, limit - position_, windowSize_ - from});
            std::uint8_t* to = window + position_;
            const std::uint8_t* source = window + from;
            for (std::uint32_t i = 0; i < n; ++i) {
                to[i] = source[i];
            }
            position_ += n;
            left -= n;
            if (position_ == limit) {
                flushWindow(output);
                limit = std::min(windowSize_, position_ + kOutputPiece);
            }
        }
        previous = window[position_ == 0 ? windowSize_ - 1 : position_ - 1];
    }
    flushWindow(output);
    range.giveBack();
    return total;
}

}  // namespace zip
}  // namespace algorithm
