// An independent reading of what the tool's writer makes, for its tests: its own walk of the
// end record and the central directory (32-bit records only), and zlib, not the program's own
// decoder, for the data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/zip/CentralHeader.h"
#include "format/zip/EndHeader.h"

namespace testsupport {

struct ZipDirectory {
    format::zip::EndHeader end;
    std::vector<format::zip::CentralHeader> entries;
};

// Reads the Zip that begins at start in the file: end record (the one nearest to the end of the
// file), then every central record, whose offsets count from start. The central directory must
// end where the end record begins. Throws generic::exception on anything else.
ZipDirectory readZipDirectory(const std::string& path, std::uint64_t start);

// Checks every entry of the archive at start in the file: local header where the central record
// says and agreeing with it, and for stored and deflated entries, the data's size and CRC.
// Throws generic::exception naming the first bad entry.
void verifyArchive(const std::string& path, std::uint64_t start);

}  // namespace testsupport
