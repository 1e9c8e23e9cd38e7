// Ciphers that transform a buffer in place. Their data moves through encrypt() and decrypt(), so
// the transform's direction-free process() is refused.
#pragma once

#include <cstdint>

namespace algorithm {

// A transformation of a buffer in place.
class BufferTransform {
  public:
    virtual ~BufferTransform() = default;
    virtual void reset() {}
    virtual void process(std::uint8_t* buffer, std::uint32_t length);
    virtual void finish() {}
};

class Cipher : public BufferTransform {
  public:
    // Throws algorithm::Exception: a cipher has to be told the direction.
    void process(std::uint8_t* buffer, std::uint32_t length) override;
    virtual void encrypt(std::uint8_t* buffer, std::uint32_t length);
    virtual void decrypt(std::uint8_t* buffer, std::uint32_t length);
};

}  // namespace algorithm
