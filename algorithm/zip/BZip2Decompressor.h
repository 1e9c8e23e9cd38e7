// Decodes Zip method 12 (BZip2): one or more concatenated BZip2 streams, each of one or more
// blocks, to the end of the input. Every block's CRC and every stream's combined CRC is checked.
// Randomised blocks, which no bzip2 since 0.9.5 (1999) writes, are refused. Memory is bounded
// by the block size the stream header declares: four bytes per byte of block, 3.6 MB at most.
#pragma once

#include <cstdint>
#include <memory>

#include "algorithm/Algorithm.h"

namespace algorithm {
namespace zip {

class BZip2Decompressor : public Algorithm {
  public:
    using Algorithm::process;
    // Decodes to the end of the input (bytes after the last stream that do not begin another
    // stream are ignored, as bzip2 ignores them); returns the number of bytes written. Throws
    // algorithm::Exception for bad or truncated data; what was written before stays written.
    std::uint64_t process(stream::InputStream& input, stream::OutputStream& output) override;

  private:
    // One block's symbols after the Burrows-Wheeler transform, each in the low byte of its
    // entry; the inverse transform puts the link to the next entry in the upper 24 bits. Left
    // uninitialised: a block writes every entry it reads, and pages it never touches cost nothing.
    std::unique_ptr<std::uint32_t[]> block_;
    std::uint32_t capacity_ = 0;
};

}  // namespace zip
}  // namespace algorithm
