// Decodes Zip method 8 (Deflate, RFC 1951): stored, fixed-code and dynamic-code blocks up to the
// final block. The decoded data leaves in whole 32,768-byte pieces and a last, shorter one.
// Deflate64Decompressor is the same decoder over Deflate64's window and symbols.
#pragma once

#include <cstdint>
#include <memory>

#include "algorithm/Algorithm.h"
#include "algorithm/zip/InflateTable.h"

namespace algorithm {
namespace zip {

class InflateInput;
struct InflateFormat;

class Decompressor : public Algorithm {
  public:
    Decompressor();

    using Algorithm::process;
    // Decodes one Deflate stream; returns the number of bytes written. Throws
    // algorithm::Exception for bad or truncated data; what was written before stays written.
    std::uint64_t process(stream::InputStream& input, stream::OutputStream& output) override;

  protected:
    explicit Decompressor(const InflateFormat& format);

  private:
    [[noreturn]] void fail(const char* what) const;
    [[noreturn]] void truncated() const;
    void stored(InflateInput& input, stream::OutputStream& output);
    void dynamic(InflateInput& input, stream::OutputStream& output);
    // Decodes the codes of a block up to its end of block.
    void codes(InflateInput& input, stream::OutputStream& output, const InflateTable& literals,
               const InflateTable& distances);
    // Writes the full piece ending at pieceEnd_ and moves on to the next; after the last piece
    // of the window it slides the piece into the history.
    void writePiece(stream::OutputStream& output);

    const InflateFormat& format_;
    // The last window bytes of output (the history a match copies from), followed by the pieces
    // being decoded (256 KB in all) and room for a match that runs past the last one's end.
    // Pieces written stay in place as history until the last one: the history slides once
    // every few pieces rather than after each.
    std::unique_ptr<std::uint8_t[]> window_;
    std::uint32_t position_ = 0;
    // The end of the piece being decoded; the pieces before it are written.
    std::uint32_t pieceEnd_ = 0;
    InflateTable codeLengths_;
    InflateTable literals_;
    InflateTable distances_;
};

}  // namespace zip
}  // namespace algorithm
