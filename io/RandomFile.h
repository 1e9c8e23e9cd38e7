// A file that can also be positioned anywhere and truly resized: the archive is read through one.
#pragma once

#include <cstdint>
#include <string>

#include "io/File.h"

namespace io {
namespace random {

class File : public io::File {
  public:
    using io::File::File;

    // Shrinks or grows the file, then puts the position back where it was (even past the end).
    // Nothing happens on a closed file.
    void resize(std::uint64_t newSize) override;
    virtual void seek(std::uint64_t position);
};

}  // namespace random
}  // namespace io
