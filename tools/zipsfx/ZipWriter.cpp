#include "tools/zipsfx/ZipWriter.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>

#include "base/Exception.h"
#include "format/zip/EndHeader.h"
#include "format/zip/ExtraFields.h"
#include "format/zip/Zip64EndHeader.h"
#include "stream/MemoryStream.h"

namespace fs = std::filesystem;

namespace tools {

namespace {

constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kVersionNeededZip64 = 45;
constexpr std::uint32_t kMarker32 = 0xFFFFFFFFu;
#ifdef _WIN32
constexpr std::uint16_t kVersionMadeBy = 20;  // made on MS-DOS/Windows: DOS attributes
#else
constexpr std::uint16_t kVersionMadeBy = (3 << 8) | 20;  // made on Unix: mode in the high half
#endif
constexpr std::uint8_t kStored = 0;
constexpr std::uint8_t kDeflated = 8;
constexpr std::size_t kChunk = 1 << 16;

[[noreturn]] void fail(const std::string& message) {
    throw generic::exception(message, "make");
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

struct Collector {
    std::ostream& log;
    std::vector<ZipSource> sources;
    std::set<std::string> names;

    void add(const fs::path& path, const std::string& name, bool folder) {
        std::string entry = folder ? name + "/" : name;
        if (!names.insert(entry).second) {
            fail("two inputs give the same entry name " + entry);
        }
        sources.push_back({path, entry, folder});
    }

    void addFolder(const fs::path& folder, const std::string& name) {
        add(folder, name, true);
        std::vector<fs::directory_entry> children;
        for (const auto& child : fs::directory_iterator(folder)) {
            children.push_back(child);
        }
        std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
            return a.path().filename() < b.path().filename();
        });
        for (const auto& child : children) {
            std::string childName = name + "/" + child.path().filename().string();
            fs::file_status own = child.symlink_status();
            std::error_code error;
            fs::file_status target = fs::status(child.path(), error);
            if (fs::is_directory(own)) {
                addFolder(child.path(), childName);
            } else if (fs::is_regular_file(own) ||
                       (fs::is_symlink(own) && fs::is_regular_file(target))) {
                add(child.path(), childName, false);
            } else if (fs::is_symlink(own)) {
                log << "zipsfx make: warning: skipping the link " << quoted(child.path())
                    << ": it leads to " << (error ? "nothing" : "a folder") << "\n";
            } else {
                log << "zipsfx make: warning: skipping " << quoted(child.path())
                    << ": neither a file nor a folder\n";
            }
        }
    }
};

std::int64_t modificationTime(const fs::path& path) {
    using namespace std::chrono;
    // The file clock's epoch is the library's own; measure it against the system clock.
    auto stamp = fs::last_write_time(path);
    auto offset =
        system_clock::now().time_since_epoch() -
        duration_cast<system_clock::duration>(fs::file_time_type::clock::now().time_since_epoch());
    auto since = duration_cast<system_clock::duration>(stamp.time_since_epoch()) + offset;
    return round<seconds>(since).count();
}

std::uint32_t externalAttributes(const fs::path& path, bool folder) {
    fs::perms perms = fs::status(path).permissions();
    std::uint32_t dos = folder ? 0x10 : 0x20;  // directory / archive
    if ((perms & fs::perms::owner_write) == fs::perms::none) {
        dos |= 0x01;  // read-only
    }
#ifdef _WIN32
    return dos;
#else
    std::uint32_t mode = static_cast<std::uint32_t>(perms & fs::perms::mask);
    mode |= folder ? 0040000u : 0100000u;
    return mode << 16 | dos;
#endif
}

std::vector<std::uint8_t> bytesOf(format::zip::CentralHeader& header, bool local) {
    stream::MemoryOutput out;
    if (local) {
        header.writeLocal(out);
    } else {
        header.write(out);
    }
    return out.data();
}

class InputFile {
  public:
    explicit InputFile(const fs::path& path) : path_(path), in_(path, std::ios::binary) {
        if (!in_) {
            fail("cannot open " + quoted(path));
        }
    }
    // Fills the buffer as far as the file goes; 0 at the end.
    std::size_t read(std::uint8_t* buffer, std::size_t length) {
        in_.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(length));
        if (in_.bad()) {
            fail("cannot read " + quoted(path_));
        }
        return static_cast<std::size_t>(in_.gcount());
    }

  private:
    fs::path path_;
    std::ifstream in_;
};

class Deflater {
  public:
    explicit Deflater(int level) {
        stream_ = {};
        if (deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            fail("cannot start the deflate compressor");
        }
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() { deflateEnd(&stream_); }
    z_stream& operator*() { return stream_; }

  private:
    z_stream stream_;
};

// A file that grows past 4 GiB while it is read would need a Zip64 field its local header was
// written without.
void checkSize(const ZipSource& source, std::uint64_t size, bool wide) {
    if (!wide && size > kMaxClassicValue) {
        fail(quoted(source.path) + " grew beyond 4 GiB while it was read");
    }
}

// The local header's Zip64 field: both sizes, always together.
std::string localZip64(std::uint64_t uncompressed, std::uint64_t compressed) {
    const std::uint64_t values[] = {uncompressed, compressed};
    return format::zip::zip64ExtraBlock(values, 2);
}

}  // namespace

std::vector<ZipSource> collectSources(const std::vector<std::string>& inputs, std::ostream& log) {
    Collector collector{log, {}, {}};
    for (const std::string& input : inputs) {
        fs::path path(input);
        std::error_code error;
        fs::file_status status = fs::status(path, error);
        if (!fs::exists(status)) {
            fail("cannot find " + quoted(path));
        }
        fs::path full = fs::absolute(path).lexically_normal();
        if (!full.has_filename()) {
            full = full.parent_path();  // a trailing separator
        }
        std::string name = full.filename().string();
        if (name.empty() || name == "." || name == ".." || full == full.root_path()) {
            fail("cannot name the entries of " + quoted(path) + "; give a folder below it");
        }
        if (fs::is_directory(status)) {
            collector.addFolder(path, name);
        } else if (fs::is_regular_file(status)) {
            collector.add(path, name, false);
        } else {
            fail(quoted(path) + " is neither a file nor a folder");
        }
    }
    return collector.sources;
}

std::uint32_t toDosDateTime(std::int64_t secondsSinceEpoch) {
    constexpr std::uint32_t kFirst = (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
    constexpr std::uint32_t kLast =
        (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    // DOS keeps two-second steps; rounding up keeps an extracted file from looking older.
    std::time_t t = static_cast<std::time_t>(secondsSinceEpoch + (secondsSinceEpoch & 1));
    std::tm local{};
#ifdef _WIN32
    const bool known = localtime_s(&local, &t) == 0;
#else
    const bool known = localtime_r(&t, &local) != nullptr;
#endif
    if (!known || local.tm_year + 1900 < 1980) {
        return kFirst;
    }
    if (local.tm_year + 1900 > 2107) {
        return kLast;
    }
    std::uint32_t date = static_cast<std::uint32_t>((local.tm_year - 80) << 9 |
                                                    (local.tm_mon + 1) << 5 | local.tm_mday);
    std::uint32_t time =
        static_cast<std::uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    return date << 16 | time;
}

ZipWriter::ZipWriter(std::iostream& out, int level, std::ostream* verbose, CancelCheck cancelled)
    : out_(out),
      level_(level),
      verbose_(verbose),
      cancelled_(std::move(cancelled)),
      base_(0),
      end_(0) {
    base_ = position();
    end_ = base_;
}

void ZipWriter::checkCancel() const {
    if (cancelled_ && cancelled_()) {
        throw brindle5::exception::Evacuation();
    }
}

std::uint64_t ZipWriter::position() {
    auto p = out_.tellp();
    if (p < 0) {
        fail("cannot tell the output position");
    }
    return static_cast<std::uint64_t>(p);
}

void ZipWriter::writeBytes(const void* data, std::size_t length) {
    out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(length));
    if (!out_) {
        fail("cannot write the output");
    }
}

void ZipWriter::writeAt(std::uint64_t at, const std::vector<std::uint8_t>& bytes) {
    out_.seekp(static_cast<std::streamoff>(at));
    writeBytes(bytes.data(), bytes.size());
}

void ZipWriter::add(const ZipSource& source) {
    checkCancel();
    uncompressed_ = compressed_ = 0;
    wideLocal_ = false;
    const std::uint64_t offset = end_ - base_;
    format::zip::CentralHeader header;
    header.versionMadeBy = kVersionMadeBy;
    header.versionNeeded = kVersionNeeded;
    header.method = kStored;
    const std::int64_t modified = modificationTime(source.path);
    std::uint32_t stamp = toDosDateTime(modified);
    header.date = static_cast<std::uint16_t>(stamp >> 16);
    header.time = static_cast<std::uint16_t>(stamp & 0xFFFF);
    header.externalAttributes = externalAttributes(source.path, source.folder);
    header.name = source.name;
    const std::string timestamp = format::zip::timestampExtraBlock(modified);
    header.extra = timestamp;
    if (source.folder) {
        writeAt(end_, bytesOf(header, true));
        end_ = position();
    } else {
        addFile(source, header);
    }
    // The central record widens what its 32-bit fields cannot hold; the local header has done
    // so for its sizes already.
    std::vector<std::uint64_t> wide;
    header.uncompressedSize = static_cast<std::uint32_t>(uncompressed_);
    header.compressedSize = static_cast<std::uint32_t>(compressed_);
    if (uncompressed_ > kMaxClassicValue) {
        wide.push_back(uncompressed_);
        header.uncompressedSize = kMarker32;
    }
    if (compressed_ > kMaxClassicValue) {
        wide.push_back(compressed_);
        header.compressedSize = kMarker32;
    }
    header.localHeaderOffset = static_cast<std::uint32_t>(offset);
    if (offset > kMaxClassicValue) {
        wide.push_back(offset);
        header.localHeaderOffset = kMarker32;
    }
    header.extra = wide.empty()
                       ? timestamp
                       : format::zip::zip64ExtraBlock(wide.data(), wide.size()) + timestamp;
    if (!wide.empty()) {
        header.versionNeeded = kVersionNeededZip64;
    }
    if (verbose_ != nullptr) {
        *verbose_ << "  adding: " << source.name;
        if (!source.folder) {
            *verbose_ << " (" << (header.method == kDeflated ? "deflated " : "stored ")
                      << uncompressed_ << " -> " << compressed_ << ")";
        }
        *verbose_ << "\n";
    }
    central_.push_back(std::move(header));
}

void ZipWriter::addFile(const ZipSource& source, format::zip::CentralHeader& header) {
    const std::uint64_t headerAt = end_;
    // Whether the local header needs a Zip64 field is known only from the file's size before it
    // is read: the field's room is kept from the start.
    std::error_code error;
    const std::uint64_t expected = fs::file_size(source.path, error);
    wideLocal_ = !error && expected > kMaxClassicValue;
    const std::string timestamp = header.extra;
    if (wideLocal_) {
        header.versionNeeded = kVersionNeededZip64;
        header.extra = localZip64(0, 0) + timestamp;
        header.uncompressedSize = header.compressedSize = kMarker32;
    }
    std::vector<std::uint8_t> placeholder = bytesOf(header, true);
    writeAt(headerAt, placeholder);
    const std::uint64_t dataAt = headerAt + placeholder.size();
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::uint64_t packed = ~std::uint64_t(0);
    if (level_ > 0) {
        packed = deflateFile(source, crc, size);
    }
    if (packed >= size || level_ == 0) {
        // Deflate did not pay: store the file instead, over what deflate wrote.
        out_.seekp(static_cast<std::streamoff>(dataAt));
        size = storeFile(source, crc);
        packed = size;
        header.method = kStored;
    } else {
        header.method = kDeflated;
    }
    header.crc = crc;
    uncompressed_ = size;
    compressed_ = packed;
    if (wideLocal_) {
        header.extra = localZip64(size, packed) + timestamp;
    } else {
        header.compressedSize = static_cast<std::uint32_t>(packed);
        header.uncompressedSize = static_cast<std::uint32_t>(size);
    }
    end_ = dataAt + packed;
    writeAt(headerAt, bytesOf(header, true));
    out_.seekp(static_cast<std::streamoff>(end_));
}

std::uint64_t ZipWriter::deflateFile(const ZipSource& source, std::uint32_t& crc,
                                     std::uint64_t& size) {
    InputFile in(source.path);
    Deflater deflater(level_);
    z_stream& z = *deflater;
    auto input = std::make_unique<std::uint8_t[]>(kChunk);
    auto output = std::make_unique<std::uint8_t[]>(kChunk);
    uLong sum = crc32(0L, Z_NULL, 0);
    std::uint64_t packed = 0;
    size = 0;
    int flush = Z_NO_FLUSH;
    do {
        checkCancel();
        std::size_t got = in.read(input.get(), kChunk);
        size += got;
        checkSize(source, size, wideLocal_);
        sum = crc32(sum, input.get(), static_cast<uInt>(got));
        flush = got < kChunk ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = input.get();
        z.avail_in = static_cast<uInt>(got);
        do {
            z.next_out = output.get();
            z.avail_out = static_cast<uInt>(kChunk);
            if (deflate(&z, flush) == Z_STREAM_ERROR) {
                fail("the deflate compressor failed on " + quoted(source.path));
            }
            std::size_t have = kChunk - z.avail_out;
            writeBytes(output.get(), have);
            packed += have;
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    crc = static_cast<std::uint32_t>(sum);
    return packed;
}

std::uint64_t ZipWriter::storeFile(const ZipSource& source, std::uint32_t& crc) {
    InputFile in(source.path);
    auto buffer = std::make_unique<std::uint8_t[]>(kChunk);
    uLong sum = crc32(0L, Z_NULL, 0);
    std::uint64_t size = 0;
    for (;;) {
        checkCancel();
        std::size_t got = in.read(buffer.get(), kChunk);
        if (got == 0) {
            break;
        }
        size += got;
        checkSize(source, size, wideLocal_);
        sum = crc32(sum, buffer.get(), static_cast<uInt>(got));
        writeBytes(buffer.get(), got);
    }
    crc = static_cast<std::uint32_t>(sum);
    return size;
}

void ZipWriter::finish() {
    const std::uint64_t centralAt = end_;
    out_.seekp(static_cast<std::streamoff>(centralAt));
    for (auto& header : central_) {
        std::vector<std::uint8_t> bytes = bytesOf(header, false);
        writeBytes(bytes.data(), bytes.size());
    }
    writeEndRecords(centralAt, position());
    out_.flush();
    end_ = position();
}

void ZipWriter::writeEndRecords(std::uint64_t centralAt, std::uint64_t centralEnd) {
    const std::uint64_t count = central_.size();
    const std::uint64_t size = centralEnd - centralAt;
    const std::uint64_t offset = centralAt - base_;
    stream::MemoryOutput bytes;
    format::zip::EndHeader endRecord;
    endRecord.diskEntries = static_cast<std::uint16_t>(count);
    endRecord.centralSize = static_cast<std::uint32_t>(size);
    endRecord.centralOffset = static_cast<std::uint32_t>(offset);
    if (count > kMaxClassicEntries || size > kMaxClassicValue || offset > kMaxClassicValue) {
        format::zip::Zip64EndHeader record;
        record.versionMadeBy =
            static_cast<std::uint16_t>((kVersionMadeBy & 0xFF00) | kVersionNeededZip64);
        record.diskEntries = record.totalEntries = count;
        record.centralSize = size;
        record.centralOffset = offset;
        format::zip::Zip64Locator locator;
        locator.endOffset = centralEnd - base_;
        record.write(bytes);
        locator.write(bytes);
        if (count > kMaxClassicEntries) {
            endRecord.diskEntries = 0xFFFF;
        }
        if (size > kMaxClassicValue) {
            endRecord.centralSize = kMarker32;
        }
        if (offset > kMaxClassicValue) {
            endRecord.centralOffset = kMarker32;
        }
    }
    endRecord.totalEntries = endRecord.diskEntries;
    endRecord.write(bytes);
    writeBytes(bytes.data().data(), bytes.data().size());
}

}  // namespace tools
