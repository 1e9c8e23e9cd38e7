// What the Zip writer asks of an entry's compressor: bytes in, compressed bytes out to a sink.
// Each method's compressor wraps its library, so that the writer sees none of their types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tools {

// The methods `zipsfx make` writes.
enum class Method { Store, Deflate, Lzma };

class Compressor {
  public:
    // Receives each piece of compressed output.
    using Sink = std::function<void(const std::uint8_t* data, std::size_t length)>;

    virtual ~Compressor() = default;

    // Compresses the next bytes of the input; `last` ends the stream. Returns how many
    // compressed bytes went to the sink.
    virtual std::uint64_t compress(const std::uint8_t* data, std::size_t length, bool last,
                                   const Sink& sink) = 0;
    // The Zip method number and the general-purpose flag bits the entry gets.
    virtual std::uint16_t method() const = 0;
    virtual std::uint16_t flags() const { return 0; }
    // The "version needed to extract" the method asks for.
    virtual std::uint16_t versionNeeded() const = 0;
};

// The compressor of method (not Store) at level 1 to 9, for a file of size bytes (the LZMA
// dictionary is no larger than the file); `what` names the input in messages. Throws
// generic::exception when the library cannot start or the method is not built in.
std::unique_ptr<Compressor> makeCompressor(Method method, int level, std::uint64_t size,
                                           const std::string& what);

// Whether this build of the tool can write the method.
bool methodAvailable(Method method);

}  // namespace tools
