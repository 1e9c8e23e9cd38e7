#include "algorithm/zip/BZip2Decompressor.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/Exception.h"

namespace algorithm {
namespace zip {

namespace {

constexpr std::uint64_t kBlockMagic = 0x314159265359;
constexpr std::uint64_t kEndMagic = 0x177245385090;
constexpr std::uint32_t kBlockUnit = 100000;
constexpr unsigned kMaxGroups = 6;
constexpr unsigned kMaxAlphabet = 258;
constexpr unsigned kMaxCodeLength = 20;
constexpr unsigned kGroupSize = 50;
constexpr unsigned kRootBits = 10;
constexpr std::uint32_t kOutputBuffer = 65536;

[[noreturn]] void fail(const char* what) {
    throw Exception(std::string(what) + " in BZip2Decompressor");
}

[[noreturn]] void truncated() {
    fail("unexpected end of data");
}

// The CRC of BZip2 blocks: CRC-32's polynomial, taken most significant bit first.
struct CrcTable {
    std::uint32_t entries[256];
    CrcTable() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i << 24;
            for (int k = 0; k < 8; ++k) {
                c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
            }
            entries[i] = c;
        }
    }
};

// Built when the program starts (no guard for a function's static).
const CrcTable crcTable;

// The bits of the input, most significant first, in a 64-bit buffer whose top count bits are
// the next ones. Past the end of the input it supplies zero bits and counts them, so the
// decoder can tell when it has used bits that do not exist.
class MsbBitInput {
  public:
    explicit MsbBitInput(stream::Input& input) : input_(input) {}

    // At least 57 bits are buffered afterwards.
    void refill() {
        if (end_ - next_ >= 8) {
            std::uint64_t word = 0;
            for (int i = 0; i < 8; ++i) {
                word = word << 8 | next_[i];
            }
            bits_ |= word >> count_;
            next_ += (63 - count_) >> 3;
            count_ |= 56;
            return;
        }
        // The buffer's low bits may hold bits of a byte not yet counted: clear them.
        bits_ = count_ == 0 ? 0 : bits_ & (~std::uint64_t(0) << (64 - count_));
        while (count_ <= 56) {
            std::uint64_t byte = 0;
            if (next_ != end_ || fetch()) {
                byte = *next_++;
            } else {
                padding_ += 8;
            }
            bits_ |= byte << (56 - count_);
            count_ += 8;
        }
    }
    // n (1 to 32) bits; count() must be at least n.
    std::uint32_t peek(unsigned n) const { return static_cast<std::uint32_t>(bits_ >> (64 - n)); }
    void consume(unsigned n) {
        bits_ <<= n;
        count_ -= n;
    }
    unsigned count() const { return count_; }
    std::uint32_t get(unsigned n) {
        if (count_ < n) {
            refill();
        }
        std::uint32_t value = peek(n);
        consume(n);
        if (overrun()) {
            truncated();
        }
        return value;
    }
    bool overrun() const { return count_ < padding_; }
    // Drops the bits left in the current byte.
    void align() { consume(count_ % 8); }
    // Whether input bits remain (the reader being byte-aligned, at least n of them).
    bool has(unsigned n) {
        if (count_ < n) {
            refill();
        }
        return count_ >= padding_ + n;
    }

  private:
    bool fetch() {
        if (ended_) {
            return false;
        }
        std::uint32_t got = input_.read(buffer_, sizeof buffer_);
        ended_ = got == 0;
        next_ = buffer_;
        end_ = buffer_ + got;
        return got != 0;
    }

    stream::Input& input_;
    std::uint8_t buffer_[32768];
    const std::uint8_t* next_ = buffer_;
    const std::uint8_t* end_ = buffer_;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
    unsigned padding_ = 0;
    bool ended_ = false;
};

// One group's canonical Huffman code (lengths 1 to 20, first code of each length all zeros):
// a root table for codes up to kRootBits long, and the limits of each longer length.
class GroupCode {
  public:
    void build(const std::uint8_t* lengths, unsigned alphabet) {
        unsigned count[kMaxCodeLength + 1] = {};
        for (unsigned i = 0; i < alphabet; ++i) {
            ++count[lengths[i]];
        }
        // More codes than the code space holds would make two symbols share a pattern.
        std::uint32_t space = 1u << kMaxCodeLength;
        for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
            const std::uint32_t used = count[length] << (kMaxCodeLength - length);
            if (used > space) {
                fail("bad Huffman code lengths");
            }
            space -= used;
        }
        unsigned offset[kMaxCodeLength + 2] = {};
        std::uint32_t code = 0;
        for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
            first_[length] = code;
            offset[length + 1] = offset[length] + count[length];
            // Index of the length's first code in sorted_, less its first code.
            delta_[length] = offset[length] - code;
            code += count[length];
            limit_[length] = code;
            code <<= 1;
        }
        for (unsigned i = 0; i < alphabet; ++i) {
            sorted_[offset[lengths[i]]++] = static_cast<std::uint16_t>(i);
        }
        std::memset(root_, 0, sizeof root_);
        unsigned index = 0;
        for (unsigned length = 1; length <= kRootBits; ++length) {
            for (std::uint32_t c = first_[length]; c < limit_[length]; ++c) {
                const std::uint16_t entry =
                    static_cast<std::uint16_t>(sorted_[index++] << 5 | length);
                const std::uint32_t from = c << (kRootBits - length);
                for (std::uint32_t k = 0; k < (1u << (kRootBits - length)); ++k) {
                    root_[from + k] = entry;
                }
            }
        }
    }

    // The next symbol; the reader holds at least 20 bits.
    unsigned decode(MsbBitInput& bits) const {
        const std::uint16_t entry = root_[bits.peek(kRootBits)];
        if (entry != 0) {
            bits.consume(entry & 31);
            return entry >> 5;
        }
        for (unsigned length = kRootBits + 1; length <= kMaxCodeLength; ++length) {
            const std::uint32_t code = bits.peek(length);
            if (code < limit_[length]) {
                bits.consume(length);
                return sorted_[code + delta_[length]];
            }
        }
        // Only an incomplete code leaves patterns without a symbol.
        fail("bad Huffman code");
    }

  private:
    // Symbol << 5 | length; 0 where the code is longer than the root (or there is none).
    std::uint16_t root_[1u << kRootBits];
    std::uint32_t first_[kMaxCodeLength + 1];
    std::uint32_t limit_[kMaxCodeLength + 1];
    std::uint32_t delta_[kMaxCodeLength + 1];
    std::uint16_t sorted_[kMaxAlphabet];
};

// Gathers decoded bytes, keeps the block's CRC and writes them out in large pieces.
class BlockOutput {
  public:
    explicit BlockOutput(stream::OutputStream& output)
        : output_(output), buffer_(new std::uint8_t[kOutputBuffer]) {}

    void put(std::uint8_t byte) {
        if (used_ == kOutputBuffer) {
            flush();
        }
        buffer_[used_++] = byte;
    }
    void repeat(std::uint8_t byte, unsigned n) {
        while (n > 0) {
            if (used_ == kOutputBuffer) {
                flush();
            }
            unsigned take = kOutputBuffer - used_ < n ? kOutputBuffer - used_ : n;
            std::memset(buffer_.get() + used_, byte, take);
            used_ += take;
            n -= take;
        }
    }
    // The CRC of the block so far; startBlock begins the next.
    std::uint32_t blockCrc() {
        crcUpTo(used_);
        return ~crc_;
    }
    void startBlock() {
        crcUpTo(used_);
        crc_ = ~0u;
    }
    void flush() {
        crcUpTo(used_);
        output_.write(buffer_.get(), used_);
        written_ += used_;
        used_ = 0;
        checked_ = 0;
    }
    std::uint64_t written() const { return written_; }

  private:
    void crcUpTo(std::uint32_t end) {
        std::uint32_t crc = crc_;
        const std::uint8_t* p = buffer_.get();
        for (std::uint32_t i = checked_; i < end; ++i) {
            crc = (crc << 8) ^ crcTable.entries[(crc >> 24) ^ p[i]];
        }
        crc_ = crc;
        checked_ = end;
    }

    stream::OutputStream& output_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint32_t used_ = 0;
    // Bytes of the buffer already in crc_.
    std::uint32_t checked_ = 0;
    std::uint32_t crc_ = ~0u;
    std::uint64_t written_ = 0;
};

// Reads one block from after its magic to its last symbol into block (the byte of each
// symbol in its low byte, symbols counted per byte value into counts). Returns the symbol
// count; start receives the position of the original first byte after the transform.
std::uint32_t readBlock(MsbBitInput& bits, std::uint32_t* block, std::uint32_t capacity,
                        std::uint32_t counts[256], std::uint32_t& start) {
    if (bits.get(1) != 0) {
        fail("randomised block (written by bzip2 before 0.9.5) not supported");
    }
    start = bits.get(24);

    // The byte values in use: sixteen ranges of sixteen.
    std::uint8_t inUse[256];
    unsigned used = 0;
    const std::uint32_t ranges = bits.get(16);
    for (unsigned range = 0; range < 16; ++range) {
        if (ranges & (0x8000u >> range)) {
            const std::uint32_t values = bits.get(16);
            for (unsigned i = 0; i < 16; ++i) {
                if (values & (0x8000u >> i)) {
                    inUse[used++] = static_cast<std::uint8_t>(range * 16 + i);
                }
            }
        }
    }
    if (used == 0) {
        fail("block uses no byte values");
    }
    const unsigned alphabet = used + 2;
    const unsigned endOfBlock = used + 1;

    const unsigned groups = bits.get(3);
    if (groups < 2 || groups > kMaxGroups) {
        fail("bad number of Huffman groups");
    }
    const unsigned selectorCount = bits.get(15);
    if (selectorCount == 0) {
        fail("no selectors");
    }
    // Selectors come move-to-front coded, each as a unary number.
    std::vector<std::uint8_t> selectors(selectorCount);
    std::uint8_t order[kMaxGroups] = {0, 1, 2, 3, 4, 5};
    for (unsigned i = 0; i < selectorCount; ++i) {
        unsigned j = 0;
        while (bits.get(1) != 0) {
            if (++j >= groups) {
                fail("bad selector");
            }
        }
        const std::uint8_t value = order[j];
        for (; j > 0; --j) {
            order[j] = order[j - 1];
        }
        order[0] = value;
        selectors[i] = value;
    }

    // Each group's code lengths: a 5-bit start, then per symbol steps of +1 or -1.
    GroupCode codes[kMaxGroups];
    for (unsigned group = 0; group < groups; ++group) {
        std::uint8_t lengths[kMaxAlphabet];
        unsigned length = bits.get(5);
        for (unsigned symbol = 0; symbol < alphabet; ++symbol) {
            for (;;) {
                if (length < 1 || length > kMaxCodeLength) {
                    fail("bad Huffman code lengths");
                }
                if (bits.get(1) == 0) {
                    break;
                }
                length = bits.get(1) == 0 ? length + 1 : length - 1;
            }
            lengths[symbol] = static_cast<std::uint8_t>(length);
        }
        codes[group].build(lengths, alphabet);
    }

    // The symbols: runs of the front byte (RUNA and RUNB digits of a bijective base-2 count),
    // move-to-front positions, and the end of the block.
    std::uint8_t front[256];
    std::memcpy(front, inUse, used);
    std::memset(counts, 0, 256 * sizeof counts[0]);
    std::uint32_t* const out = block;
    std::uint32_t n = 0;
    std::uint32_t run = 0;
    unsigned runDigit = 0;
    unsigned selector = 0;
    const GroupCode* code = nullptr;
    unsigned left = 0;
    for (;;) {
        if (left == 0) {
            if (selector == selectorCount) {
                fail("more symbols than selectors");
            }
            if (bits.overrun()) {
                truncated();
            }
            code = &codes[selectors[selector++]];
            left = kGroupSize;
        }
        --left;
        if (bits.count() < kMaxCodeLength) {
            bits.refill();
        }
        const unsigned symbol = code->decode(bits);
        if (symbol <= 1) {
            run += (symbol + 1) << runDigit;
            ++runDigit;
            if (run > capacity - n) {
                fail("block longer than its declared size");
            }
            continue;
        }
        if (run != 0) {
            const std::uint8_t byte = front[0];
            counts[byte] += run;
            for (std::uint32_t end = n + run; n < end; ++n) {
                out[n] = byte;
            }
            run = 0;
            runDigit = 0;
        }
        if (symbol == endOfBlock) {
            break;
        }
        if (n == capacity) {
            fail("block longer than its declared size");
        }
        // Position symbol - 1 moves to the front.
        const unsigned position = symbol - 1;
        const std::uint8_t byte = front[position];
        std::memmove(front + 1, front, position);
        front[0] = byte;
        ++counts[byte];
        out[n++] = byte;
    }
    if (bits.overrun()) {
        truncated();
    }
    if (start >= n) {
        fail("bad start pointer");
    }
    return n;
}

// Undoes the Burrows-Wheeler transform of n symbols and the run-length step before it (four
// equal bytes and a count of further copies), into output.
void writeBlock(std::uint32_t* block, std::uint32_t n, const std::uint32_t counts[256],
                std::uint32_t start, BlockOutput& output) {
    // Each symbol's place among the sorted symbols links it to the symbol that follows it in
    // the original text.
    std::uint32_t next[256];
    std::uint32_t sum = 0;
    for (unsigned byte = 0; byte < 256; ++byte) {
        next[byte] = sum;
        sum += counts[byte];
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        block[next[block[i] & 0xFF]++] |= i << 8;
    }

    std::uint32_t position = block[start] >> 8;
    int last = -1;
    unsigned same = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t entry = block[position];
        position = entry >> 8;
        const std::uint8_t byte = static_cast<std::uint8_t>(entry);
        if (same == 4) {
            output.repeat(static_cast<std::uint8_t>(last), byte);
            same = 0;
            last = -1;
            continue;
        }
        if (byte == last) {
            ++same;
        } else {
            same = 1;
            last = byte;
        }
        output.put(byte);
    }
}

}  // namespace

std::uint64_t BZip2Decompressor::process(stream::InputStream& input, stream::OutputStream& output) {
    MsbBitInput bits(input);
    BlockOutput out(output);
    std::uint32_t counts[256];
    bool first = true;
    for (;;) {
        // A stream header: "BZh" and the block size in hundreds of kilobytes.
        if (!first && !bits.has(32)) {
            break;
        }
        if (first && !bits.has(32)) {
            truncated();
        }
        const std::uint32_t header = bits.peek(32);
        if ((header >> 8) != 0x425A68 || (header & 0xFF) < '1' || (header & 0xFF) > '9') {
            if (first) {
                fail("bad stream header");
            }
            // Whatever follows the last stream is not ours, as for bzip2.
            break;
        }
        bits.consume(32);
        first = false;
        const std::uint32_t capacity = ((header & 0xFF) - '0') * kBlockUnit;
        if (capacity_ < capacity) {
            block_.reset(new std::uint32_t[capacity]);
            capacity_ = capacity;
        }

        std::uint32_t streamCrc = 0;
        for (;;) {
            const std::uint64_t magic =
                static_cast<std::uint64_t>(bits.get(24)) << 24 | bits.get(24);
            const std::uint32_t crc = bits.get(32);
            if (magic == kEndMagic) {
                if (crc != streamCrc) {
                    fail("stream CRC mismatch");
                }
                break;
            }
            if (magic != kBlockMagic) {
                fail("bad block header");
            }
            std::uint32_t start = 0;
            const std::uint32_t n = readBlock(bits, block_.get(), capacity, counts, start);
            out.startBlock();
            writeBlock(block_.get(), n, counts, start, out);
            const std::uint32_t actual = out.blockCrc();
            if (actual != crc) {
                fail("block CRC mismatch");
            }
            streamCrc = ((streamCrc << 1) | (streamCrc >> 31)) ^ crc;
        }
        bits.align();
    }
    out.flush();
    output.flush();
    return out.written();
}

}  // namespace zip
}  // namespace algorithm
