#include "format/zip/NameDecoding.h"

#include "algorithm/CRC32.h"
#include "base/Utf8.h"
#include "platform/TextCodePage.h"

namespace format {
namespace zip {

namespace {

// Code page 437's upper half, 0x80 to 0xFF, as published in the code page's mapping table.
// clang-format off
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};
// clang-format on

// Hosts of the version-made-by field whose names are bytes as the system had them: Unix and
// macOS, which write UTF-8 today.
constexpr std::uint8_t kHostUnix = 3;
constexpr std::uint8_t kHostMacOs = 19;

std::uint16_t get16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// The UTF-8 text of a version 1 Unicode extra field of the given tag that belongs to these
// stored bytes; false when there is none or it belongs to other bytes (the name was changed by
// a tool that did not know the field).
bool unicodeExtra(const std::string& extra, std::uint16_t tag, const std::string& stored,
                  std::string& text) {
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::uint16_t id = get16(extra, at);
        const std::size_t size = get16(extra, at + 2);
        at += 4;
        if (size > extra.size() - at) {
            return false;
        }
        if (id == tag && size >= 5 && extra[at] == 1) {
            const std::uint32_t crc = get16(extra, at + 1) | std::uint32_t(get16(extra, at + 3))
                                                                 << 16;
            if (crc != algorithm::CRC32::of(stored.data(), stored.size())) {
                return false;
            }
            text = base::repairUtf8(extra.substr(at + 5, size - 5));
            return true;
        }
        at += size;
    }
    return false;
}

}  // namespace

std::string cp437ToUtf8(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        base::appendUtf8(text, byte < 0x80 ? char32_t(byte) : char32_t(kCp437High[byte - 0x80]));
    }
    return text;
}

std::string decodeStoredText(const std::string& stored, std::uint16_t flags,
                             std::uint16_t versionMadeBy, const std::string& extra,
                             std::uint16_t unicodeTag) {
    if (flags & kFlagUtf8) {
        return base::repairUtf8(stored);
    }
    std::string text;
    if (unicodeExtra(extra, unicodeTag, stored, text)) {
        return text;
    }
    const std::uint8_t host = static_cast<std::uint8_t>(versionMadeBy >> 8);
    if (base::isAscii(stored) ||
        ((host == kHostUnix || host == kHostMacOs) && base::isValidUtf8(stored))) {
        return stored;
    }
    if (platform::oemToUtf8(stored, text)) {
        return base::repairUtf8(text);
    }
    return cp437ToUtf8(stored);
}

}  // namespace zip
}  // namespace format
