// The run of fields that a central record and a local header share, from the version needed
// to the extra field's length, read and written in one place for both records.
#pragma once

#include <cstdint>
#include <string>

#include "base/Exception.h"
#include "format/LittleEndianInput.h"
#include "format/LittleEndianOutput.h"
#include "format/zip/Header.h"

namespace format {
namespace zip {

// The lengths of the variable fields that follow, as read.
struct CommonLengths {
    std::uint16_t name = 0;
    std::uint16_t extra = 0;
};

template <typename Record>
CommonLengths readCommonFields(LittleEndianInput& in, Record& record) {
    record.versionNeeded = in.get16();
    record.flags = in.get16();
    // The method field is 16 bits wide; only its low byte names a method.
    record.method = static_cast<std::uint8_t>(in.get16() & 0xFF);
    record.time = in.get16();
    record.date = in.get16();
    record.crc = in.get32();
    record.compressedSize = in.get32();
    record.uncompressedSize = in.get32();
    CommonLengths lengths;
    lengths.name = in.get16();
    lengths.extra = in.get16();
    return lengths;
}

// Each record reports an over-long name or extra field in its own words.
template <typename Record>
void writeCommonFields(LittleEndianOutput& out, const Record& record, const char* nameTooLong,
                       const char* extraTooLong) {
    out.put16(record.versionNeeded);
    out.put16(record.flags);
    out.put16(record.method);
    out.put16(record.time);
    out.put16(record.date);
    out.put32(record.crc);
    out.put32(record.compressedSize);
    out.put32(record.uncompressedSize);
    if (record.name.size() > kMaxFieldLength) {
        throw format::Exception(nameTooLong);
    }
    out.put16(static_cast<std::uint16_t>(record.name.size()));
    if (record.extra.size() > kMaxFieldLength) {
        throw format::Exception(extraTooLong);
    }
    out.put16(static_cast<std::uint16_t>(record.extra.size()));
}

}  // namespace zip
}  // namespace format
