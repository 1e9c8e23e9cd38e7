// The two records through which a format reader describes the entry at hand: the archive object
// owns one of each, the reader fills them before it notifies, and handlers read them back.
#pragma once

#include <cstdint>
#include <string>

#include "archive/Optional.h"
#include "format/data/OSType.h"

namespace vessel5 {

// A four-character type code that is "????" while unknown.
class OptionalTypeCode : public Optional<format::data::OSType> {
  public:
    OptionalTypeCode() : Optional<format::data::OSType>(format::data::OSType("????")) {}
};

// The file entry at hand. While scanning, name is the stored name; while extracting, it is the
// output path, which the progress display shows.
class FileItem {
  public:
    std::string name;
    OptionalText note;
    OptionalUInt64 compressedSize;
    OptionalUInt64 uncompressedSize;
    // Type and creator codes and two flags: Zip carries none of them, so the Zip reader leaves
    // them in their reset state. Kept as part of the archive library's API.
    OptionalTypeCode type;
    OptionalTypeCode creator;
    bool firstFlag = false;
    bool secondFlag = false;
    // The central record's "version made by" and external attributes: the high byte of the
    // first names the system the archive was made on (3 for Unix, whose permission bits are then
    // the high 16 bits of the second).
    std::uint16_t versionMadeBy = 0;
    std::uint32_t externalAttributes = 0;

    void reset();
};

// The folder entry at hand; name is the stored name without its trailing separator.
class FolderItem {
  public:
    std::string name;
    OptionalText note;

    void reset();
};

}  // namespace vessel5
