// How a stored entry name or comment becomes UTF-8: the one place that decides, used wherever the
// reader reads a central record, so listing, testing, extracting and both stubs agree.
#pragma once

#include <cstdint>
#include <string>

#include "format/zip/CentralHeader.h"

namespace format {
namespace zip {

// General-purpose flag bit 11: the name and comment are UTF-8.
constexpr std::uint16_t kFlagUtf8 = 0x0800;
// Info-ZIP's extra fields with a UTF-8 copy of the name or comment, tied to the stored bytes by
// their CRC-32.
constexpr std::uint16_t kUnicodePathTag = 0x7075;
constexpr std::uint16_t kUnicodeCommentTag = 0x6375;

// The stored text as UTF-8, trying in turn: bit 11 (bad bytes become U+FFFD each); the Unicode
// extra field of unicodeTag, version 1, whose CRC-32 matches the stored bytes; valid UTF-8 made
// on Unix or macOS (host 3 or 19); the OEM code page (Windows) or IBM code page 437 (elsewhere).
// No normalisation: decomposed names stay decomposed.
std::string decodeStoredText(const std::string& stored, std::uint16_t flags,
                             std::uint16_t versionMadeBy, const std::string& extra,
                             std::uint16_t unicodeTag);

inline std::string decodedName(const CentralHeader& central) {
    return decodeStoredText(central.name, central.flags, central.versionMadeBy, central.extra,
                            kUnicodePathTag);
}

inline std::string decodedComment(const CentralHeader& central) {
    return decodeStoredText(central.comment, central.flags, central.versionMadeBy, central.extra,
                            kUnicodeCommentTag);
}

// IBM PC code page 437 to UTF-8; the low half is ASCII.
std::string cp437ToUtf8(const std::string& bytes);

}  // namespace zip
}  // namespace format
