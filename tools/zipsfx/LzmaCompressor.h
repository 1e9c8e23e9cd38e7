// The writer's use of liblzma for Zip method 14: its raw LZMA1 encoder, behind the Zip LZMA
// header (encoder version, properties size 5) and the five properties bytes that this class
// writes itself. The size of the file is known before it is read, so the stream has no end
// marker (flag bit 1 stays clear) and the dictionary is no larger than the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/zipsfx/Compressor.h"

namespace tools {

class LzmaCompressor : public Compressor {
  public:
    // Level 0 (fastest) to 9 (smallest): liblzma's presets, 9 with its extreme variant.
    LzmaCompressor(int level, std::uint64_t size, std::string what);
    LzmaCompressor(const LzmaCompressor&) = delete;
    LzmaCompressor& operator=(const LzmaCompressor&) = delete;
    ~LzmaCompressor() override;

    std::uint64_t compress(const std::uint8_t* data, std::size_t length, bool last,
                           const Sink& sink) override;
    std::uint16_t method() const override { return 14; }
    std::uint16_t versionNeeded() const override { return 63; }

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tools
