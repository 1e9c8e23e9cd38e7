// Decoder of Zip method 1 (shrunk): LZW with code sizes from 9 to 13 bits over an 8,192-code
// dictionary, where control code 256 raises the code size or clears the dictionary's leaves.
// The data has no end marker, so it ends where the entry's compressed bytes end.
#pragma once

#include <cstdint>
#include <vector>

#include "algorithm/Algorithm.h"

namespace algorithm {
namespace zip {

class ShrinkDecompressor : public Algorithm {
  public:
    ShrinkDecompressor();

    using Algorithm::process;
    // size is the number of compressed bytes: no byte of the input beyond them is read.
    std::uint64_t process(stream::InputStream& input, stream::OutputStream& output,
                          std::uint64_t size) override;

  private:
    void partialClear();
    void advanceNextFree(unsigned from);

    // prefix_[code] is the code whose string this code extends, or kFree. Allocated once per
    // object: a stream of many shrunk entries reuses them.
    std::vector<std::uint16_t> prefix_;
    std::vector<std::uint8_t> suffix_;
    // A code's string is assembled backwards, ending at the last byte.
    std::vector<std::uint8_t> stack_;
    unsigned nextFree_ = 0;
};

}  // namespace zip
}  // namespace algorithm
