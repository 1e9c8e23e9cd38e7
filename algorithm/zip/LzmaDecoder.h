// Decodes Zip method 14 (LZMA): the Zip LZMA header (version, properties size), the five
// properties bytes (literal context and position bits, position bits; dictionary size), then
// the range-coded stream, ended by the end marker (flag bit 1) or by the entry's size.
//
// The history it keeps is the smaller of the dictionary and the entry: a header cannot make it
// allocate more than the entry can use, and a history over kMaxWindow is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "algorithm/Algorithm.h"
#include "algorithm/zip/LzmaRangeDecoder.h"

namespace stream {
class BufferedInput;
}

namespace algorithm {
namespace zip {

class LzmaDecoder : public Algorithm {
  public:
    static constexpr std::uint32_t kMaxWindow = 256u << 20;

    // endMarker: the stream ends with the end marker (Zip flag bit 1), which must then follow
    // the last byte; otherwise the size given to process() ends it.
    explicit LzmaDecoder(bool endMarker);
    ~LzmaDecoder() override;

    using Algorithm::process;
    // size is the number of bytes to produce (kUnknownSize: up to the end marker). Returns the
    // number written. Throws algorithm::Exception for bad, truncated or unsupported data; what
    // was written before stays written.
    std::uint64_t process(stream::InputStream& input, stream::OutputStream& output,
                          std::uint64_t size) override;

  private:
    struct Properties {
        unsigned literalContextBits;   // lc
        unsigned literalPositionBits;  // lp
        unsigned positionBits;         // pb
        std::uint32_t dictionarySize;
    };

    static Properties readHeader(stream::BufferedInput& input);
    std::uint64_t decode(stream::BufferedInput& input, stream::OutputStream& output,
                         const Properties& properties, std::uint64_t size);
    // Writes the bytes of the window not yet written.
    void flushWindow(stream::OutputStream& output);

    bool endMarker_;
    std::vector<LzmaProbability> probabilities_;
    std::unique_ptr<std::uint8_t[]> window_;
    std::uint32_t windowSize_ = 0;
    // Next byte of the window to fill, and the first one not yet written out.
    std::uint32_t position_ = 0;
    std::uint32_t flushed_ = 0;
};

}  // namespace zip
}  // namespace algorithm
