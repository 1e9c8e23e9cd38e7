// An output filter that passes every byte on unchanged and shows each byte or block to its
// subclass once it has been passed on, for filters that only watch the data (a checksum, a
// progress count). Filled and copied bytes are shown like written ones.
#pragma once

#include <cstdint>

#include "stream/Filter.h"

namespace stream {

class PassThroughOutput : public OutputFilter {
  public:
    using OutputFilter::OutputFilter;

    void put(std::uint8_t byte) override;
    void write(const void* buffer, std::uint32_t length) override;
    void fill(std::uint64_t count, std::uint8_t byte) override;
    std::uint64_t copyFrom(InputStream& input, std::uint64_t count) override;

  protected:
    virtual void passedByte(std::uint8_t byte) = 0;
    virtual void passedBlock(const void* buffer, std::uint32_t length) = 0;
};

}  // namespace stream
