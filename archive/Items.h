// The two records through which a format reader describes the entry at hand: the archive object
// owns one of each, the reader fills them before it notifies, and handlers read them back.
#pragma once

#include <cstdint>
#include <string>

#include "archive/Optional.h"

namespace vessel5 {

// A four-character type code, first character in the most significant byte.
using TypeCode = std::uint32_t;
// "????": the code of an entry whose type nobody stated.
constexpr TypeCode kUnknownTypeCode = 0x3F3F3F3Fu;

class OptionalTypeCode : public Optional<TypeCode> {
  public:
    OptionalTypeCode() : Optional<TypeCode>(kUnknownTypeCode) {}
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
    // them in their reset state.
    OptionalTypeCode type;
    OptionalTypeCode creator;
    bool firstFlag = false;
    bool secondFlag = false;

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
