// Decoder of Zip methods 2 to 5 (reduced with compression factor 1 to 4): bytes coded with
// follower sets (per preceding byte, a short list of likely next bytes), then expanded by a
// run/match scheme with escape byte 144. The data has no end marker: the uncompressed size ends it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "algorithm/Algorithm.h"

namespace algorithm {
namespace zip {

class BitInput;

class ReduceDecompressor : public Algorithm {
  public:
    // factor is 1 to 4 (the method less one); others are rejected.
    explicit ReduceDecompressor(std::uint32_t factor);

    using Algorithm::process;
    // size is the number of bytes to produce.
    std::uint64_t process(stream::InputStream& input, stream::OutputStream& output,
                          std::uint64_t size) override;

  private:
    static constexpr unsigned kWindowSize = 0x4000;
    static constexpr unsigned kMaxFollowers = 64;

    void readFollowerSets(BitInput& bits);
    void put(std::uint8_t byte);
    void copyMatch(unsigned distance, unsigned length);
    void flushWindow();

    std::uint32_t factor_;
    std::vector<std::uint8_t> window_;
    std::array<std::array<std::uint8_t, kMaxFollowers>, 256> followers_{};
    std::array<std::uint8_t, 256> followerCount_{};

    // Decoding state of one process() call.
    stream::OutputStream* output_ = nullptr;
    std::uint64_t remaining_ = 0;
    std::uint64_t written_ = 0;
    unsigned position_ = 0;
    bool firstWindow_ = true;
};

}  // namespace zip
}  // namespace algorithm
