// Reads back the central directory of a Zip in a file, to decide whether an existing Zip may be
// appended to a stub, and to check a made archive before it is put in place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/zip/CentralHeader.h"
#include "format/zip/EndHeader.h"

namespace tools {

struct ZipDirectory {
    format::zip::EndHeader end;
    std::vector<format::zip::CentralHeader> entries;
};

// Reads the Zip that begins at start in the file: end record (the one nearest to the end of the
// file), then every central record, whose offsets count from start. The central directory must
// end where the end record begins. Throws generic::exception on anything else.
ZipDirectory readZipDirectory(const std::string& path, std::uint64_t start);

// Refuses, with a message naming the entry, a Zip that the stub could not extract as it is:
// several disks, an entry with an absolute or ".." name, a method other than 0 to 6 and 8, or
// a version needed above 2.0; also an entry whose local header is not where the central record
// says.
void checkAppendable(const std::string& path);

// An independent check of what the writer made (zlib decodes the data, not the program's own
// reader), for the writer's tests: `zipsfx make` itself checks with the stub's reader only.
// Checks every entry of the archive at start in the file: local header where the central record
// says and agreeing with it, and for stored and deflated entries, the data's size and CRC.
// Throws generic::exception naming the first bad entry.
void verifyArchive(const std::string& path, std::uint64_t start);

}  // namespace tools
