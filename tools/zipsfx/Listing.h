// `zipsfx list`: the central directory of an archive as the archive object's scan walks it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace tools {

struct ListedEntry {
    std::uint64_t uncompressedSize = 0;
    std::uint64_t compressedSize = 0;
    std::uint8_t method = 0;
    // For a WinZip AES entry: its key strength (1 to 3) and the method inside; 0 otherwise.
    std::uint8_t aesStrength = 0;
    std::uint16_t innerMethod = 0;
    std::uint16_t flags = 0;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint32_t crc = 0;
    std::string name;  // decoded to UTF-8
};

// Every central record, in order, of the archive that starts at startOffset in the file.
// Throws the archive object's and the reader's exceptions.
// endOffset bounds the archive (a signed file's certificate table is not read).
std::vector<ListedEntry> listArchive(const std::string& path, std::uint32_t startOffset,
                                     std::uint64_t endOffset = ~std::uint64_t(0));

// DOS date and time as "YYYY-MM-DD HH:MM:SS".
std::string dosDateTime(std::uint16_t date, std::uint16_t time);

// One line per entry, its name with control characters escaped, and a line of totals.
void printListing(std::ostream& out, const std::vector<ListedEntry>& entries);

}  // namespace tools
