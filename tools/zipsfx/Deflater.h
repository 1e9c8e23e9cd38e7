// The writer's use of zlib: raw deflate (no zlib header, Zip method 8) and the Zip CRC-32, so
// that nothing else of the writer sees zlib's types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "tools/zipsfx/Compressor.h"

namespace tools {

class Deflater : public Compressor {
  public:
    // Level 1 (fastest) to 9 (smallest); `what` names the input in messages. Throws
    // generic::exception when zlib cannot start.
    Deflater(int level, std::string what);
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() override;

    std::uint64_t compress(const std::uint8_t* data, std::size_t length, bool last,
                           const Sink& sink) override;
    std::uint16_t method() const override { return 8; }
    std::uint16_t versionNeeded() const override { return 20; }

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The running CRC-32 of a Zip entry (start with 0).
std::uint32_t updateCrc32(std::uint32_t crc, const std::uint8_t* data, std::size_t length);

}  // namespace tools
