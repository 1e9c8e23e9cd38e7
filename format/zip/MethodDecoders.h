// The table of Zip compression methods: each method's number, the name listings and refusals
// show, the version needed to extract that its producers declare, and, for the methods this
// reader decodes, how to make the entry decoder. Listing, refusal and the version check all
// read this one table; a new method is one row here and one algorithm class.
#pragma once

#include <cstdint>
#include <memory>

#include "format/zip/EntryDecoder.h"

namespace format {
namespace zip {

struct ZipMethod {
    std::uint16_t number;
    // "Stored", "Deflated", "Deflate64", "BZip2", ...
    const char* name;
    // Version needed to extract, as 10 × major + minor (20 for 2.0).
    std::uint8_t versionNeeded;
    // The decoder is told the compressed size (stored, shrunk) rather than the uncompressed size.
    bool takesCompressedSize;
    // Makes the entry's decoder from its general-purpose flags; null for a method only named.
    std::unique_ptr<EntryDecoder> (*makeDecoder)(std::uint16_t flags, vessel5::Archive& archive);
};

// The row of method; null for a number without one.
const ZipMethod* findMethod(std::uint16_t method);

// Methods with a decoder: 0 to 6, 8, 9, 12 and 14.
bool isSupportedMethod(std::uint16_t method);

// The highest version needed to extract that an entry of method may declare: the Zip64 records'
// 4.5, or the method's own version where that is higher (BZip2 declares 4.6).
std::uint8_t newestVersionNeeded(std::uint16_t method);

// The decoder for method, with the entry's general-purpose flags (implode reads bits 1 and 2).
// Throws brindle5::exception::UnsupportedMethod for a method without a decoder.
std::unique_ptr<EntryDecoder> createEntryDecoder(std::uint16_t method, std::uint16_t flags,
                                                 vessel5::Archive& archive);

// Whether the method's decoder is told the compressed size (stored, shrunk) rather than the
// uncompressed size (the others).
bool takesCompressedSize(std::uint16_t method);

}  // namespace zip
}  // namespace format
