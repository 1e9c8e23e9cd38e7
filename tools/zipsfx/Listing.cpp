#include "tools/zipsfx/Listing.h"

#include <cstdarg>
#include <cstdio>
#include <ostream>
#include <utility>

#include "archive/Archive.h"
#include "base/CheckedSum.h"
#include "base/Utf8.h"
#include "format/zip/LocalHeader.h"
#include "format/zip/MethodNames.h"
#include "format/zip/ZipReader.h"

namespace tools {

namespace {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* pattern, ...) {
    char buffer[160];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    va_end(arguments);
    return buffer;
}

}  // namespace

std::vector<ListedEntry> listArchive(const std::string& path, std::uint32_t startOffset,
                                     std::uint64_t endOffset) {
    std::vector<ListedEntry> entries;
    vessel5::Archive archive;
    archive.open(path);
    archive.settings().startOffset = startOffset;
    archive.settings().endOffset = endOffset;
    archive.scan();
    auto* reader = dynamic_cast<format::zip::ZipReader*>(archive.reader());
    if (reader != nullptr) {
        // Taken over, not copied: each name is held once, however long.
        std::vector<format::zip::PendingEntry> scanned = reader->takeEntries();
        entries.reserve(scanned.size());
        for (format::zip::PendingEntry& c : scanned) {
            ListedEntry entry;
            entry.uncompressedSize = c.uncompressedSize;
            entry.compressedSize = c.compressedSize;
            entry.method = c.method;
            entry.aesStrength = c.aesStrength;
            entry.innerMethod = c.innerMethod;
            entry.flags = c.flags;
            entry.date = c.date;
            entry.time = c.time;
            entry.crc = c.crc;
            entry.name = std::move(c.name);
            std::string().swap(c.storedName);
            entries.push_back(std::move(entry));
        }
    }
    archive.close();
    return entries;
}

std::string dosDateTime(std::uint16_t date, std::uint16_t time) {
    return format("%04u-%02u-%02u %02u:%02u:%02u", 1980u + (date >> 9), (date >> 5) & 0x0Fu,
                  date & 0x1Fu, time >> 11, (time >> 5) & 0x3Fu, (time & 0x1Fu) * 2);
}

void printListing(std::ostream& out, const std::vector<ListedEntry>& entries) {
    out << "    Length  Compressed  Method     Date       Time      CRC-32    Name\n"
        << "----------  ----------  ---------  -------------------  --------  ----\n";
    std::uint64_t uncompressed = 0;
    std::uint64_t compressed = 0;
    for (const ListedEntry& e : entries) {
        // An asterisk marks an encrypted entry; an AES entry shows its inner method and its key
        // length ("Deflated* AES-256").
        std::string method =
            format::zip::methodName(e.aesStrength != 0 ? e.innerMethod : e.method) +
            ((e.flags & format::zip::kFlagEncrypted) ? "*" : "");
        if (e.aesStrength != 0) {
            method += " AES-" + std::to_string(64 + 64 * e.aesStrength);
        }
        out << format("%10llu  %10llu  %-9s  %s  %08x  ",
                      static_cast<unsigned long long>(e.uncompressedSize),
                      static_cast<unsigned long long>(e.compressedSize), method.c_str(),
                      dosDateTime(e.date, e.time).c_str(), e.crc)
            << base::printableText(e.name) << '\n';
        // Totals of sizes an archive declares: they stop at the largest value, never wrap.
        uncompressed = base::addSaturated(uncompressed, e.uncompressedSize);
        compressed = base::addSaturated(compressed, e.compressedSize);
    }
    out << "----------  ----------                                           ----\n"
        << format("%10llu  %10llu", static_cast<unsigned long long>(uncompressed),
                  static_cast<unsigned long long>(compressed))
        << std::string(43, ' ') << entries.size() << (entries.size() == 1 ? " entry" : " entries")
        << '\n';
}

}  // namespace tools
