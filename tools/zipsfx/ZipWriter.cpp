#include "tools/zipsfx/ZipWriter.h"

#include <algorithm>
#include <memory>
#include <ostream>
#include <system_error>

#include "algorithm/zip/TraditionalCipher.h"
#include "algorithm/zip/WinZipAes.h"
#include "archive/Wipe.h"
#include "base/Exception.h"
#include "base/Utf8.h"
#include "format/zip/EncryptionHeader.h"
#include "platform/Crypto.h"
#include "format/zip/EndHeader.h"
#include "format/zip/ExtraFields.h"
#include "format/zip/LocalHeader.h"
#include "format/zip/NameDecoding.h"
#include "format/zip/Zip64EndHeader.h"
#include "io/FileInput.h"
#include "stream/MemoryStream.h"
#include "tools/zipsfx/Deflater.h"
#include "tools/zipsfx/Fail.h"
#include "tools/zipsfx/FileAttributes.h"
#include "tools/zipsfx/FileStamp.h"

namespace fs = std::filesystem;

namespace tools {

namespace {

constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kVersionNeededZip64 = 45;
// WinZip AES entries say 5.1, as WinZip and 7-Zip write them.
constexpr std::uint16_t kVersionNeededAes = 51;
constexpr std::uint8_t kAesStrength256 = 3;
constexpr std::uint32_t kMarker32 = 0xFFFFFFFFu;
constexpr std::uint8_t kStored = 0;
constexpr std::uint32_t kChunk = 1 << 16;

std::vector<std::uint8_t> bytesOf(format::zip::CentralHeader& header, bool local) {
    stream::MemoryOutput out;
    if (local) {
        header.writeLocal(out);
    } else {
        header.write(out);
    }
    return out.data();
}

// The source file, opened for reading; the tool's own message when it cannot be.
std::unique_ptr<stream::FileInput> openSource(const ZipSource& source) {
    try {
        return std::make_unique<stream::FileInput>(source.path.u8string());
    } catch (const generic::exception&) {
        fail("cannot open " + quoted(source.path));
    }
}

// Fills the buffer as far as the file goes; 0 at the end.
std::uint32_t readSource(stream::FileInput& in, const ZipSource& source, std::uint8_t* buffer) {
    try {
        std::uint32_t got = 0;
        while (got < kChunk) {
            const std::uint32_t more = in.read(buffer + got, kChunk - got);
            if (more == 0) {
                break;
            }
            got += more;
        }
        return got;
    } catch (const generic::exception&) {
        fail("cannot read " + quoted(source.path));
    }
}

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

ZipWriter::~ZipWriter() {
    vessel5::wipe(password_);
}

void ZipWriter::encryptWith(Encryption encryption, const std::string& password) {
    encryption_ = encryption;
    vessel5::wipe(password_);
    password_ = password;
}

void ZipWriter::writeData(const std::uint8_t* data, std::size_t length) {
    if (!cipher_) {
        writeBytes(data, length);
        return;
    }
    encrypted_.assign(data, data + length);
    cipher_->encrypt(encrypted_.data(), static_cast<std::uint32_t>(length));
    writeBytes(encrypted_.data(), length);
}

std::uint64_t ZipWriter::beginEncryption(std::uint8_t checkByte) {
    cipher_.reset();
    if (encryption_ == Encryption::None) {
        return 0;
    }
    if (encryption_ == Encryption::ZipCrypto) {
        auto cipher = std::make_unique<algorithm::zip::TraditionalCipher>(password_);
        std::uint8_t header[format::zip::EncryptionHeader::kSize];
        if (!platform::crypto::randomBytes(header, sizeof header - 1)) {
            fail("the system's random source failed");
        }
        header[sizeof header - 1] = checkByte;
        cipher->encrypt(header, sizeof header);
        writeBytes(header, sizeof header);
        cipher_ = std::move(cipher);
        return sizeof header;
    }
    algorithm::zip::AesStrength sizes = {};
    algorithm::zip::aesStrength(kAesStrength256, sizes);
    std::vector<std::uint8_t> salt(sizes.saltLength);
    if (!platform::crypto::randomBytes(salt.data(), salt.size())) {
        fail("the system's random source failed");
    }
    const algorithm::zip::WinZipAesKeys keys(kAesStrength256, password_, salt.data());
    writeBytes(salt.data(), salt.size());
    writeBytes(keys.verifier(), algorithm::zip::kAesVerifierSize);
    cipher_ = std::make_unique<algorithm::zip::WinZipAesCipher>(keys);
    return salt.size() + algorithm::zip::kAesVerifierSize;
}

std::uint64_t ZipWriter::endEncryption() {
    std::uint64_t written = 0;
    if (encryption_ == Encryption::Aes256) {
        const auto code = static_cast<algorithm::zip::WinZipAesCipher&>(*cipher_).code();
        writeBytes(code.data(), code.size());
        written = code.size();
    }
    cipher_.reset();
    return written;
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
    aesExtra_.clear();
    const std::uint64_t offset = end_ - base_;
    format::zip::CentralHeader header;
    header.versionMadeBy = versionMadeBy();
    header.versionNeeded = kVersionNeeded;
    header.method = kStored;
    const std::int64_t modified = modificationTime(source.path);
    std::uint32_t stamp = toDosDateTime(modified);
    header.date = static_cast<std::uint16_t>(stamp >> 16);
    header.time = static_cast<std::uint16_t>(stamp & 0xFFFF);
    header.externalAttributes = externalAttributes(source.path, source.folder);
    header.name = source.name;
    if (!base::isAscii(header.name)) {
        header.flags |= format::zip::kFlagUtf8;
    }
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
    header.extra =
        (wide.empty() ? timestamp
                      : format::zip::zip64ExtraBlock(wide.data(), wide.size()) + timestamp) +
        aesExtra_;
    if (!wide.empty()) {
        header.versionNeeded = std::max(header.versionNeeded, kVersionNeededZip64);
    }
    if (verbose_ != nullptr) {
        *verbose_ << "  adding: " << base::printableText(source.name);
        if (!source.folder) {
            // An AES entry names its method in its AES field.
            const std::uint8_t method = header.method == format::zip::kAesMethod
                                            ? static_cast<std::uint8_t>(aesExtra_[9])
                                            : static_cast<std::uint8_t>(header.method);
            *verbose_ << " ("
                      << (method == 14        ? "lzma "
                          : method == kStored ? "stored "
                                              : "deflated ")
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
    const bool aes = encryption_ == Encryption::Aes256;
    if (encryption_ != Encryption::None) {
        header.flags |= format::zip::kFlagEncrypted;
    }
    auto aesBlock = [](std::uint8_t method) {
        format::zip::AesExtra field;
        field.version = 2;  // AE-2: no CRC-32 stored, the authentication code stands for it
        field.strength = kAesStrength256;
        field.method = method;
        return format::zip::aesExtraBlock(field);
    };
    if (aes) {
        // The placeholder's field has the final length; only its method changes.
        aesExtra_ = aesBlock(kStored);
    }
    header.extra = timestamp + aesExtra_;
    if (wideLocal_) {
        header.versionNeeded = kVersionNeededZip64;
        header.extra = localZip64(0, 0) + timestamp + aesExtra_;
        header.uncompressedSize = header.compressedSize = kMarker32;
    }
    if (aes) {
        header.versionNeeded = kVersionNeededAes;
    }
    std::vector<std::uint8_t> placeholder = bytesOf(header, true);
    writeAt(headerAt, placeholder);
    const std::uint64_t dataAt = headerAt + placeholder.size();
    // The traditional header ends in the CRC-32's high byte, which a first pass over the file
    // finds.
    const std::uint8_t checkByte = encryption_ == Encryption::ZipCrypto
                                       ? static_cast<std::uint8_t>(crcOfFile(source) >> 24)
                                       : 0;
    std::uint64_t prefix = beginEncryption(checkByte);
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::uint64_t packed = ~std::uint64_t(0);
    const bool store = method_ == Method::Store || (method_ == Method::Deflate && level_ == 0);
    if (!store) {
        const auto compressor = makeCompressor(
            method_, level_, error ? ~std::uint64_t(0) : expected, quoted(source.path));
        packed = compressFile(source, *compressor, crc, size);
        header.method = compressor->method();
        header.flags |= compressor->flags();
        header.versionNeeded = std::max(header.versionNeeded, compressor->versionNeeded());
    }
    if (store || packed >= size) {
        // Compression did not pay: store the file instead, over what the compressor wrote.
        out_.seekp(static_cast<std::streamoff>(dataAt));
        prefix = beginEncryption(checkByte);
        size = storeFile(source, crc);
        packed = size;
        header.method = kStored;
        header.flags &= format::zip::kFlagUtf8 | format::zip::kFlagEncrypted;
        header.versionNeeded = wideLocal_ ? kVersionNeededZip64 : kVersionNeeded;
    }
    packed += prefix + endEncryption();
    if (aes) {
        // The method goes into the AES field; the CRC-32 is not stored (AE-2).
        aesExtra_ = aesBlock(static_cast<std::uint8_t>(header.method));
        header.method = format::zip::kAesMethod;
        header.versionNeeded = std::max(header.versionNeeded, kVersionNeededAes);
    } else {
        header.crc = crc;
    }
    uncompressed_ = size;
    compressed_ = packed;
    if (wideLocal_) {
        header.extra = localZip64(size, packed) + timestamp + aesExtra_;
    } else {
        header.extra = timestamp + aesExtra_;
        header.compressedSize = static_cast<std::uint32_t>(packed);
        header.uncompressedSize = static_cast<std::uint32_t>(size);
    }
    end_ = dataAt + packed;
    writeAt(headerAt, bytesOf(header, true));
    out_.seekp(static_cast<std::streamoff>(end_));
}

std::uint32_t ZipWriter::crcOfFile(const ZipSource& source) {
    const auto in = openSource(source);
    auto buffer = std::make_unique<std::uint8_t[]>(kChunk);
    std::uint32_t crc = 0;
    for (;;) {
        checkCancel();
        const std::uint32_t got = readSource(*in, source, buffer.get());
        if (got == 0) {
            return crc;
        }
        crc = updateCrc32(crc, buffer.get(), got);
    }
}

std::uint64_t ZipWriter::compressFile(const ZipSource& source, Compressor& compressor,
                                      std::uint32_t& crc, std::uint64_t& size) {
    const auto in = openSource(source);
    auto input = std::make_unique<std::uint8_t[]>(kChunk);
    const Compressor::Sink write = [this](const std::uint8_t* data, std::size_t length) {
        writeData(data, length);
    };
    crc = 0;
    size = 0;
    std::uint64_t packed = 0;
    bool last = false;
    do {
        checkCancel();
        const std::uint32_t got = readSource(*in, source, input.get());
        size += got;
        checkSize(source, size, wideLocal_);
        crc = updateCrc32(crc, input.get(), got);
        last = got < kChunk;
        packed += compressor.compress(input.get(), got, last, write);
        if (progress_) {
            progress_(source, size);
        }
    } while (!last);
    return packed;
}

std::uint64_t ZipWriter::storeFile(const ZipSource& source, std::uint32_t& crc) {
    const auto in = openSource(source);
    auto buffer = std::make_unique<std::uint8_t[]>(kChunk);
    crc = 0;
    std::uint64_t size = 0;
    for (;;) {
        checkCancel();
        const std::uint32_t got = readSource(*in, source, buffer.get());
        if (got == 0) {
            break;
        }
        size += got;
        checkSize(source, size, wideLocal_);
        crc = updateCrc32(crc, buffer.get(), got);
        writeData(buffer.get(), got);
        if (progress_) {
            progress_(source, size);
        }
    }
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
            static_cast<std::uint16_t>((versionMadeBy() & 0xFF00) | kVersionNeededZip64);
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
