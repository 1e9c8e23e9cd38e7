// The parameters of one archive job: which file, where the archive starts in it, which format,
// and what scanning found out about it.
#pragma once

#include <cstdint>
#include <string>

#include "archive/Optional.h"

namespace vessel5 {

class Settings {
  public:
    // Set by open.
    std::string path;
    std::uint32_t startOffset = 0;
    // Where the archive must end in the file (the start of a signature's certificate table);
    // all bits set means the end of the file.
    std::uint64_t endOffset = ~std::uint64_t(0);
    std::int32_t format = 0;
    // Filled by the reader's scan; reset() returns these to the values below.
    std::int32_t entryCount = 0;
    std::string archiveName;
    std::uint64_t totalCompressedSize = 0xFFFFFFFFu;
    std::uint64_t totalUncompressedSize = 0xFFFFFFFFu;
    // 64-bit totals and a multi-volume flag for formats that report them; Zip leaves them as
    // reset.
    OptionalUInt64 totalCompressedSize64;
    OptionalUInt64 totalUncompressedSize64;
    bool multiVolume = false;
    // How many threads decode entries at once; 1 decodes them one after the other on the calling
    // thread. Kept by reset(); the programs set it from configuredThreads().
    unsigned threads = 1;

    // Resets the fields from entryCount on; path, the offsets and format are kept.
    void reset();
};

}  // namespace vessel5
