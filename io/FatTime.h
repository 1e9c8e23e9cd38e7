// An MS-DOS (FAT) date and time, as Zip headers store them, converted to ticks: read as local
// time, then moved to UTC with the local zone's current offset.
#pragma once

#include <cstdint>

namespace io {

class FatTime {
  public:
    // Throws generic::exception, kind "FAT time", when the platform refuses either conversion.
    FatTime(std::uint16_t date, std::uint16_t time);

    std::uint64_t local() const { return local_; }
    std::uint64_t utc() const { return utc_; }

  private:
    std::uint64_t local_ = 0;
    std::uint64_t utc_ = 0;
};

}  // namespace io
