// The entry decoder for each compression method the reader supports.
#pragma once

#include <cstdint>
#include <memory>

#include "format/zip/EntryDecoder.h"

namespace format {
namespace zip {

// Methods the reader accepts in a central record: 0 to 6, 8 and 14.
bool isSupportedMethod(std::uint8_t method);

// The decoder for method, with the entry's general-purpose flags (implode reads bits 1 and 2).
// Throws brindle5::exception::UnsupportedMethod for any other method.
std::unique_ptr<EntryDecoder> createEntryDecoder(std::uint8_t method, std::uint16_t flags,
                                                 vessel5::Archive& archive);

// Whether the method's decoder is told the compressed size (stored, shrunk) rather than the
// uncompressed size (the others).
bool takesCompressedSize(std::uint8_t method);

}  // namespace zip
}  // namespace format
