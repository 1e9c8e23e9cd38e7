// Decoder of Zip method 6 (imploded): a sliding dictionary of 4K or 8K whose literals, match
// lengths and distances are coded with Shannon-Fano trees stored at the start of the data.
// The data does not mark its end, so the uncompressed size must be set before process().
#pragma once

#include <cstdint>
#include <vector>

#include "algorithm/Algorithm.h"
#include "algorithm/zip/Huffman.h"

namespace algorithm {
namespace zip {

class PaddingBitInput;

class ImplodeDecompressor : public Algorithm {
  public:
    // The two flags come from bits 1 and 2 of the entry's general-purpose flags.
    ImplodeDecompressor(bool eightKDictionary, bool threeTrees);

    // Makes the size unknown again.
    void reset() override;
    void setSize(std::uint64_t size) { size_ = size; }
    std::uint64_t size() const { return size_; }

    using Algorithm::process;
    // Decodes exactly size() bytes (a final match may run past them).
    std::uint64_t process(stream::InputStream& input, stream::OutputStream& output) override;

  private:
    static constexpr unsigned kWindowSize = 8192;

    struct Tree {
        HuftChain table;
        int lookupBits = 0;
    };

    bool readTree(stream::InputStream& input, unsigned count, std::vector<unsigned>& lengths);
    // The entry of the next code of the tree, or nullptr for a pattern that is no code.
    const huft* decode(PaddingBitInput& bits, const Tree& tree);
    bool decodeData(PaddingBitInput& bits, const Tree& literals, const Tree& lengths,
                    const Tree& distances);
    void advance(unsigned count);
    void flushWindow();

    bool eightKDictionary_;
    bool threeTrees_;
    std::uint64_t size_ = kUnknownSize;
    std::vector<std::uint8_t> window_;

    // Decoding state of one process() call.
    stream::OutputStream* output_ = nullptr;
    std::uint64_t written_ = 0;
    unsigned position_ = 0;
    bool firstWindow_ = true;
};

}  // namespace zip
}  // namespace algorithm
