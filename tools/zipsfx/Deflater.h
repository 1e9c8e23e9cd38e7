// The writer's use of zlib: raw deflate (no zlib header) and the Zip CRC-32, so that nothing else
// of the writer sees zlib's types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tools {

class Deflater {
  public:
    // Receives each piece of compressed output.
    using Sink = std::function<void(const std::uint8_t* data, std::size_t length)>;

    // Level 1 (fastest) to 9 (smallest); `what` names the input in messages. Throws
    // generic::exception when zlib cannot start.
    Deflater(int level, std::string what);
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater();

    // Compresses the next bytes of the input; `last` ends the stream. Returns how many
    // compressed bytes went to the sink.
    std::uint64_t compress(const std::uint8_t* data, std::size_t length, bool last,
                           const Sink& sink);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The running CRC-32 of a Zip entry (start with 0).
std::uint32_t updateCrc32(std::uint32_t crc, const std::uint8_t* data, std::size_t length);

}  // namespace tools
