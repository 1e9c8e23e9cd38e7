// A 32-bit checksum over a run of bytes, fed a block or a byte at a time. The entry decoder keeps
// one beside the output so that every byte written can be checked against the archive's record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace algorithm {

class Checksum {
  public:
    explicit Checksum(std::uint32_t initial) : initial_(initial), value_(initial) {}
    virtual ~Checksum() = default;

    virtual void reset() { value_ = initial_; }
    virtual void update(const void* data, std::size_t length) = 0;
    virtual void update(std::uint8_t byte) = 0;

    std::uint32_t value() const { return value_; }
    std::uint32_t initial() const { return initial_; }

  protected:
    std::uint32_t initial_;
    std::uint32_t value_;
};

}  // namespace algorithm
