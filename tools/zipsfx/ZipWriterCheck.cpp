#include "tools/zipsfx/ZipWriterCheck.h"

#include <zlib.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "archive/SafePath.h"
#include "base/Exception.h"
#include "format/zip/LocalHeader.h"
#include "format/zip/MethodDecoders.h"
#include "format/zip/MethodNames.h"
#include "format/zip/ZipReader.h"
#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

constexpr std::size_t kChunk = 1 << 16;

// A file read through the stream interface that the Zip records use.
class FileInput : public stream::RandomInput {
  public:
    explicit FileInput(const std::string& path) : path_(path), in_(path, std::ios::binary) {
        if (!in_) {
            fail("cannot open '" + path + "'");
        }
        in_.seekg(0, std::ios::end);
        size_ = static_cast<std::uint64_t>(in_.tellg());
        in_.seekg(0);
    }
    std::uint32_t read(void* buffer, std::uint32_t length) override {
        in_.read(static_cast<char*>(buffer), length);
        if (in_.bad()) {
            fail("cannot read '" + path_ + "'");
        }
        auto got = static_cast<std::uint32_t>(in_.gcount());
        in_.clear();
        return got;
    }
    int get() override {
        std::uint8_t byte;
        return read(&byte, 1) == 1 ? byte : -1;
    }
    std::uint64_t tell() override {
        auto p = in_.tellg();
        return p < 0 ? size_ : static_cast<std::uint64_t>(p);
    }
    std::uint64_t size() override { return size_; }
    void seek(std::uint64_t position) override {
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(position));
    }

  private:
    std::string path_;
    std::ifstream in_;
    std::uint64_t size_ = 0;
};

// Reads a record and insists on its full signature; the end of the file inside the record is a
// damaged archive too.
template <typename Record>
void readRecord(FileInput& in, Record& record, const std::string& what) {
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

bool unsafeName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':')) {
        return true;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t stop = name.find_first_of("/\\", start);
        if (stop == std::string::npos) {
            stop = name.size();
        }
        if (name.compare(start, stop - start, "..") == 0 && stop - start == 2) {
            return true;
        }
        start = stop + 1;
    }
    return false;
}

// The entry's data checked against its CRC and sizes.
void checkData(FileInput& in, const format::zip::CentralHeader& entry) {
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

ZipDirectory readDirectory(FileInput& in, std::uint64_t start) {
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

void checkLocal(FileInput& in, std::uint64_t start, const format::zip::CentralHeader& entry,
                format::zip::LocalHeader& local) {
    in.seek(start + entry.localHeaderOffset);
    readRecord(in, local, "local header for " + entry.name);
}

}  // namespace

ZipDirectory readZipDirectory(const std::string& path, std::uint64_t start) {
    FileInput in(path);
    return readDirectory(in, start);
}

// What the stub does with such a name: it never writes outside its destination, it mends the
// name, so the refusal says which name the entry would get instead of the stored one.
std::string mendedName(const std::string& name) {
    std::vector<std::string> components =
        vessel5::safeComponents(name, vessel5::cleanNameCharacters);
    if (components.empty()) {
        return "the stub would find no usable name in it";
    }
    std::string mended;
    for (const auto& component : components) {
        mended += (mended.empty() ? "" : "/") + component;
    }
    return "the stub would write it as '" + mended + "' below its destination";
}

void checkAppendable(const std::string& path) {
    FileInput in(path);
    ZipDirectory directory = readDirectory(in, 0);
    for (const auto& entry : directory.entries) {
        if (unsafeName(entry.name)) {
            fail("'" + entry.name + "' in " + path +
                 " is an absolute name or climbs out with '..'; " + mendedName(entry.name));
        }
        if (!format::zip::isSupportedMethod(entry.method)) {
            fail("'" + entry.name + "' in " + path + ": " +
                 format::zip::unsupportedMethodText(entry.method) +
                 ", which the stub cannot extract");
        }
        if ((entry.versionNeeded & 0xFF) > format::zip::kNewestVersionNeeded) {
            fail("'" + entry.name + "' in " + path + " needs Zip version " +
                 std::to_string((entry.versionNeeded & 0xFF) / 10) + "." +
                 std::to_string((entry.versionNeeded & 0xFF) % 10) +
                 " to extract; the stub extracts up to 4.5");
        }
        if (entry.diskNumberStart != 0) {
            fail("'" + entry.name + "' in " + path + " lies on another disk");
        }
        format::zip::LocalHeader local;
        checkLocal(in, 0, entry, local);
    }
}

void verifyArchive(const std::string& path, std::uint64_t start) {
    FileInput in(path);
    ZipDirectory directory = readDirectory(in, start);
    for (const auto& entry : directory.entries) {
        format::zip::LocalHeader local;
        checkLocal(in, start, entry, local);
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

}  // namespace tools
