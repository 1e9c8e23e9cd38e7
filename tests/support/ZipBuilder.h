// Builds small Zip archives in memory with the project's own record writers, for the cases
// that no peer tool makes: damaged records, odd offsets, disagreeing local and central values.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "algorithm/CRC32.h"
#include "algorithm/zip/TraditionalCipher.h"
#include "format/LittleEndianOutput.h"
#include "format/zip/CentralHeader.h"
#include "format/zip/EncryptionHeader.h"
#include "format/zip/EndHeader.h"
#include "format/zip/LocalHeader.h"
#include "format/zip/Zip64EndHeader.h"
#include "stream/MemoryStream.h"

namespace ziptest {

struct EntryPlan {
    EntryPlan(std::string entryName, std::string entryData)
        : name(std::move(entryName)), data(std::move(entryData)) {}

    std::string name;
    std::string data;  // the uncompressed bytes
    // Method recorded in both headers; data are stored as given unless payload is set.
    std::uint8_t method = 0;
    int localMethod = -1;  // >= 0: the local header says this instead
    std::string payload;   // compressed bytes for a method other than 0
    bool usePayload = false;
    std::uint16_t versionNeeded = 20;
    bool encrypt = false;
    std::string password;
    // Bit 3: zeros in the local CRC and sizes, a data descriptor after the data.
    bool descriptor = false;
    std::uint16_t time = 0x6000;  // 12:00:00
    std::uint16_t date = 0x5A8A;  // 2025-04-10
    // Applied to the bytes on disk (after encryption) before they are written.
    std::function<void(std::string&)> alter;
    // Applied to the central record just before it is written.
    std::function<void(format::zip::CentralHeader&)> alterCentral;
    // Applied to the local header just before it is written.
    std::function<void(format::zip::LocalHeader&)> alterLocal;
    // Zip64: which central values are marked and moved to a 0x0001 extra field, in its order
    // (kWideUncompressed, kWideCompressed, kWideOffset, kWideDisk). Either size marks both in the
    // local header, whose own 0x0001 field then holds both.
    unsigned zip64 = 0;
    // More extra blocks, in both headers after any Zip64 block.
    std::string extra;
    std::uint16_t versionMadeBy = 20;
    std::uint32_t externalAttributes = 0;
};

constexpr unsigned kWideUncompressed = 1;
constexpr unsigned kWideCompressed = 2;
constexpr unsigned kWideOffset = 4;
constexpr unsigned kWideDisk = 8;

struct ArchivePlan {
    std::string prefix;            // bytes in front of the archive (a stand-in program)
    bool absoluteOffsets = false;  // offsets count from the start of the file, not the archive
    std::string comment;
    std::uint16_t diskNumber = 0;
    // A Zip64 end record and locator in front of an end record whose fields are all marked.
    bool zip64End = false;
};

struct Built {
    std::string bytes;
    std::vector<std::uint64_t> localOffsets;  // in bytes, from the start of the file
    std::uint64_t centralPosition = 0;
    std::uint64_t endPosition = 0;
};

inline std::string toString(const std::vector<std::uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

// A Zip64 extra block (0x0001) holding the values given.
inline std::string wideBlock(const std::vector<std::uint64_t>& values) {
    std::string block;
    auto put = [&block](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            block.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    };
    put(0x0001, 2);
    put(8 * values.size(), 2);
    for (std::uint64_t v : values) {
        put(v, 8);
    }
    return block;
}

inline Built build(const std::vector<EntryPlan>& entries, const ArchivePlan& plan = {}) {
    Built built;
    stream::MemoryOutput out;
    out.write(plan.prefix.data(), static_cast<std::uint32_t>(plan.prefix.size()));
    const std::uint64_t base = plan.absoluteOffsets ? 0 : plan.prefix.size();
    std::vector<format::zip::CentralHeader> centrals;
    for (const EntryPlan& e : entries) {
        format::zip::CentralHeader c;
        c.versionMadeBy = e.versionMadeBy;
        c.externalAttributes = e.externalAttributes;
        c.versionNeeded = e.versionNeeded;
        c.flags = static_cast<std::uint16_t>((e.encrypt ? 1 : 0) | (e.descriptor ? 8 : 0));
        c.method = e.method;
        c.time = e.time;
        c.date = e.date;
        c.crc = algorithm::CRC32::of(e.data.data(), e.data.size());
        c.uncompressedSize = static_cast<std::uint32_t>(e.data.size());
        std::string onDisk = e.usePayload ? e.payload : e.data;
        if (e.encrypt) {
            algorithm::zip::TraditionalCipher cipher(e.password);
            format::zip::EncryptionHeader header(cipher);
            header.setExpect(static_cast<std::uint8_t>(e.descriptor ? c.time >> 8 : c.crc >> 24));
            stream::MemoryOutput encrypted;
            header.write(encrypted);
            std::string body = onDisk;
            cipher.encrypt(reinterpret_cast<std::uint8_t*>(&body[0]),
                           static_cast<std::uint32_t>(body.size()));
            onDisk = encrypted.text() + body;
        }
        c.compressedSize = static_cast<std::uint32_t>(onDisk.size());
        if (e.alter) {
            e.alter(onDisk);
        }
        c.localHeaderOffset = static_cast<std::uint32_t>(out.tell() - base);
        c.name = e.name;
        built.localOffsets.push_back(out.tell());
        std::string localExtra;
        if (e.zip64 & (kWideUncompressed | kWideCompressed)) {
            localExtra = wideBlock({c.uncompressedSize, c.compressedSize});
        }
        std::vector<std::uint64_t> centralWide;
        if (e.zip64 & kWideUncompressed) {
            centralWide.push_back(c.uncompressedSize);
        }
        if (e.zip64 & kWideCompressed) {
            centralWide.push_back(c.compressedSize);
        }
        if (e.zip64 & kWideOffset) {
            centralWide.push_back(c.localHeaderOffset);
        }
        std::string centralExtra = centralWide.empty() ? "" : wideBlock(centralWide);
        if (e.zip64 & kWideDisk) {
            // The disk is 4 bytes, after the 8-byte values.
            if (centralExtra.empty()) {
                centralExtra = wideBlock({});
            }
            centralExtra.append(4, '\0');
            centralExtra[2] = static_cast<char>(centralExtra.size() - 4);
        }
        c.extra = centralExtra + e.extra;
        format::zip::LocalHeader local;
        local.versionNeeded = c.versionNeeded;
        local.flags = c.flags;
        local.method = e.localMethod >= 0 ? static_cast<std::uint8_t>(e.localMethod) : c.method;
        local.time = c.time;
        local.date = c.date;
        if (!e.descriptor) {
            local.crc = c.crc;
            local.compressedSize = c.compressedSize;
            local.uncompressedSize = c.uncompressedSize;
        }
        local.name = c.name;
        local.extra = localExtra + e.extra;
        if (e.zip64 & (kWideUncompressed | kWideCompressed)) {
            local.compressedSize = local.uncompressedSize = 0xFFFFFFFFu;
        }
        if (e.alterLocal) {
            e.alterLocal(local);
        }
        local.write(out);
        out.write(onDisk.data(), static_cast<std::uint32_t>(onDisk.size()));
        if (e.descriptor) {
            format::LittleEndianOutput le(out);
            le.put32(0x08074B50);
            le.put32(c.crc);
            le.put32(c.compressedSize);
            le.put32(c.uncompressedSize);
        }
        if (e.zip64 & kWideUncompressed) {
            c.uncompressedSize = 0xFFFFFFFFu;
        }
        if (e.zip64 & kWideCompressed) {
            c.compressedSize = 0xFFFFFFFFu;
        }
        if (e.zip64 & kWideOffset) {
            c.localHeaderOffset = 0xFFFFFFFFu;
        }
        if (e.zip64 & kWideDisk) {
            c.diskNumberStart = 0xFFFF;
        }
        if (e.alterCentral) {
            e.alterCentral(c);
        }
        centrals.push_back(c);
    }
    built.centralPosition = out.tell();
    for (auto& c : centrals) {
        c.write(out);
    }
    const std::uint64_t centralEnd = out.tell();
    format::zip::EndHeader end;
    end.diskNumber = plan.diskNumber;
    end.diskEntries = end.totalEntries = static_cast<std::uint16_t>(centrals.size());
    end.centralSize = static_cast<std::uint32_t>(centralEnd - built.centralPosition);
    end.centralOffset = static_cast<std::uint32_t>(built.centralPosition - base);
    if (plan.zip64End) {
        format::zip::Zip64EndHeader record;
        record.diskEntries = record.totalEntries = centrals.size();
        record.centralSize = centralEnd - built.centralPosition;
        record.centralOffset = built.centralPosition - base;
        format::zip::Zip64Locator locator;
        locator.endOffset = out.tell() - base;
        record.write(out);
        locator.write(out);
        end.diskEntries = end.totalEntries = 0xFFFF;
        end.centralSize = end.centralOffset = 0xFFFFFFFFu;
    }
    built.endPosition = out.tell();
    end.comment = plan.comment;
    end.write(out);
    built.bytes = out.text();
    return built;
}

}  // namespace ziptest
