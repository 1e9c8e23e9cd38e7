// Copies bytes unchanged from an input to an output in large blocks: the "decoder" of stored Zip
// entries.
#pragma once

#include <cstdint>
#include <memory>

#include "algorithm/Algorithm.h"

namespace algorithm {

class Copy : public Algorithm {
  public:
    static constexpr std::uint32_t kDefaultBlockSize = 0x10000;

    // The block buffer is allocated on first use.
    explicit Copy(std::uint32_t blockSize = kDefaultBlockSize);

    using Algorithm::process;
    // Copies size input bytes, or everything up to the end when size is kUnknownSize. An input
    // that ends early ends the copy without an error; the caller's CRC check catches it.
    std::uint64_t process(stream::InputStream& input, stream::OutputStream& output,
                          std::uint64_t size) override;

  private:
    std::uint32_t blockSize_;
    std::unique_ptr<std::uint8_t[]> buffer_;
};

}  // namespace algorithm
