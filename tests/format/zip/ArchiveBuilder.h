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
};

struct ArchivePlan {
    std::string prefix;            // bytes in front of the archive (a stand-in program)
    bool absoluteOffsets = false;  // offsets count from the start of the file, not the archive
    std::string comment;
    std::uint16_t diskNumber = 0;
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

inline Built build(const std::vector<EntryPlan>& entries, const ArchivePlan& plan = {}) {
    Built built;
    stream::MemoryOutput out;
    out.write(plan.prefix.data(), static_cast<std::uint32_t>(plan.prefix.size()));
    const std::uint64_t base = plan.absoluteOffsets ? 0 : plan.prefix.size();
    std::vector<format::zip::CentralHeader> centrals;
    for (const EntryPlan& e : entries) {
        format::zip::CentralHeader c;
        c.versionMadeBy = 20;
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
        local.write(out);
        out.write(onDisk.data(), static_cast<std::uint32_t>(onDisk.size()));
        if (e.descriptor) {
            format::LittleEndianOutput le(out);
            le.put32(0x08074B50);
            le.put32(c.crc);
            le.put32(c.compressedSize);
            le.put32(c.uncompressedSize);
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
    built.endPosition = out.tell();
    format::zip::EndHeader end;
    end.diskNumber = plan.diskNumber;
    end.diskEntries = end.totalEntries = static_cast<std::uint16_t>(centrals.size());
    end.centralSize = static_cast<std::uint32_t>(built.endPosition - built.centralPosition);
    end.centralOffset = static_cast<std::uint32_t>(built.centralPosition - base);
    end.comment = plan.comment;
    end.write(out);
    built.bytes = out.text();
    return built;
}

}  // namespace ziptest
