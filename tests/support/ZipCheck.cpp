#include "tests/support/ZipCheck.h"

#include <zlib.h>

#include <memory>

#include "base/Exception.h"
#include "format/zip/LocalHeader.h"
#include "io/FileInput.h"

namespace testsupport {

namespace {

constexpr std::size_t kChunk = 1 << 16;

[[noreturn]] void fail(const std::string& message) {
    throw generic::exception(message, "check");
}

// Reads a record and insists on its full signature; the end of the file inside the record is a
// damaged archive too.
template <typename Record>
void readRecord(stream::FileInput& in, Record& record, const std::string& what) {
    std::uint64_t before = in.tell();
    try {
        record.read(in, true);
    } catch (const generic::exception&) {
        fail("no " + what + " at offset " + std::to_string(before));
    }
    if (!record.isValid() || in.tell() - before != record.size()) {
        fail("no " + what + " at offset " + std::to_string(before));
    }
}

// The entry's data checked against its CRC and sizes.
void checkData(stream::FileInput& in, const format::zip::CentralHeader& entry) {
    auto input = std::make_unique<std::uint8_t[]>(kChunk);
    uLong sum = crc32(0L, Z_NULL, 0);
    std::uint64_t produced = 0;
    std::uint64_t left = entry.compressedSize;
    if (entry.method == 0) {
        while (left > 0) {
            auto want = static_cast<std::uint32_t>(left < kChunk ? left : kChunk);
            if (in.read(input.get(), want) != want) {
                fail(entry.name + ": data cut short");
            }
            sum = crc32(sum, input.get(), want);
            produced += want;
            left -= want;
        }
    } else {
        auto output = std::make_unique<std::uint8_t[]>(kChunk);
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
            fail("cannot start the inflate decompressor");
        }
        std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&z, inflateEnd);
        int result = Z_OK;
        while (result != Z_STREAM_END) {
            if (z.avail_in == 0) {
                auto want = static_cast<std::uint32_t>(left < kChunk ? left : kChunk);
                if (want == 0 || in.read(input.get(), want) != want) {
                    fail(entry.name + ": compressed data cut short");
                }
                left -= want;
                z.next_in = input.get();
                z.avail_in = want;
            }
            z.next_out = output.get();
            z.avail_out = kChunk;
            result = inflate(&z, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END) {
                fail(entry.name + ": bad compressed data");
            }
            std::size_t have = kChunk - z.avail_out;
            sum = crc32(sum, output.get(), static_cast<uInt>(have));
            produced += have;
        }
        if (left != 0 || z.avail_in != 0) {
            fail(entry.name + ": compressed size does not match its data");
        }
    }
    if (produced != entry.uncompressedSize || static_cast<std::uint32_t>(sum) != entry.crc) {
        fail(entry.name + ": size or CRC does not match its data");
    }
}

ZipDirectory readDirectory(stream::FileInput& in, std::uint64_t start) {
    ZipDirectory result;
    std::uint64_t endAt = result.end.locate(in);
    if (endAt == format::zip::EndHeader::kNotFound || endAt < start) {
        fail("no Zip end record");
    }
    in.seek(endAt);
    readRecord(in, result.end, "Zip end record");
    const auto& end = result.end;
    if (end.diskNumber != 0 || end.centralDisk != 0 || end.diskEntries != end.totalEntries) {
        fail("a Zip on several disks");
    }
    if (start + end.centralOffset + end.centralSize != endAt) {
        fail("the central directory does not end where the end record begins");
    }
    in.seek(start + end.centralOffset);
    for (std::uint32_t i = 0; i < end.totalEntries; ++i) {
        format::zip::CentralHeader header;
        readRecord(in, header, "central directory record");
        result.entries.push_back(std::move(header));
    }
    if (in.tell() != endAt) {
        fail("the central directory holds more records than the end record counts");
    }
    return result;
}

void readLocal(stream::FileInput& in, std::uint64_t start, const format::zip::CentralHeader& entry,
               format::zip::LocalHeader& local) {
    in.seek(start + entry.localHeaderOffset);
    readRecord(in, local, "local header for " + entry.name);
}

}  // namespace

ZipDirectory readZipDirectory(const std::string& path, std::uint64_t start) {
    stream::FileInput in(path);
    return readDirectory(in, start);
}

void verifyArchive(const std::string& path, std::uint64_t start) {
    stream::FileInput in(path);
    ZipDirectory directory = readDirectory(in, start);
    for (const auto& entry : directory.entries) {
        format::zip::LocalHeader local;
        readLocal(in, start, entry, local);
        if (local.name != entry.name || local.method != entry.method) {
            fail(entry.name + ": local header does not match its central record");
        }
        bool described = (entry.flags & 8) == 0 && (entry.flags & 1) == 0;
        if (described && (entry.method == 0 || entry.method == 8)) {
            if (local.crc != entry.crc || local.compressedSize != entry.compressedSize ||
                local.uncompressedSize != entry.uncompressedSize) {
                fail(entry.name + ": local header does not match its central record");
            }
            checkData(in, entry);
        }
    }
}

}  // namespace testsupport
