// An output that takes every byte and keeps only their count: for decoding an entry to check it
// (its CRC and size) without storing what it produces.
#pragma once

#include <cstdint>

#include "stream/Stream.h"

namespace stream {

class CountingOutput : public OutputStream {
  public:
    void put(std::uint8_t) override { ++count_; }
    void write(const void*, std::uint32_t length) override { count_ += length; }
    std::uint64_t tell() override { return count_; }

  private:
    std::uint64_t count_ = 0;
};

}  // namespace stream
