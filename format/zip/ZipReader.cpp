#include "format/zip/ZipReader.h"

#include <vector>

#include "algorithm/zip/TraditionalCipher.h"
#include "archive/Archive.h"
#include "base/Exception.h"
#include "format/zip/BoundedInput.h"
#include "format/zip/EncryptionHeader.h"
#include "format/zip/MethodDecoders.h"
#include "io/FatTime.h"
#include "stream/BufferedInput.h"
#include "algorithm/CipherInput.h"
#include "io/FileOutput.h"
#include "stream/SafeInput.h"

namespace format {
namespace zip {

namespace {

constexpr std::uint32_t kRecordBuffer = 0x10000;

void evacuateUnless(bool goOn) {
    if (!goOn) {
        throw brindle5::exception::Evacuation();
    }
}

bool endsWithSlash(const std::string& name) {
    return !name.empty() && name.back() == '/';
}

}  // namespace

ZipReader::ZipReader(std::uint32_t startOffset, vessel5::Archive& archive)
    : vessel5::FormatReader(startOffset, archive) {}

std::uint64_t ZipReader::locateCentral(stream::RandomInput& input) {
    const std::uint32_t offset = end_.centralOffset;
    // The sum is kept to 32 bits, like every other position stored in the archive.
    const std::uint32_t candidates[] = {static_cast<std::uint32_t>(startOffset() + offset), offset};
    for (std::uint32_t position : candidates) {
        try {
            input.seek(position);
            stream::SafeInput safe(input);
            central_.read(safe, true);
            return position;
        } catch (const generic::exception&) {
            // Try the next convention.
        }
    }
    return kNotFound;
}

void ZipReader::readCentralRecord(stream::InputStream& input, const char* invalidMessage) {
    central_.read(input, true);
    if (!central_.isValid()) {
        throw brindle5::exception::BadFormat(invalidMessage);
    }
}

void ZipReader::scan(stream::RandomInput& input) {
    vessel5::Settings& settings = archive().settings();
    settings.reset();
    settings.totalCompressedSize = 0;
    settings.totalUncompressedSize = 0;

    const std::uint64_t located = end_.locate(input);
    if (located == EndHeader::kNotFound) {
        throw brindle5::exception::BadFormat("cannot locate the central directory in zip reader");
    }
    endPosition_ = static_cast<std::uint32_t>(located);
    if (endPosition_ == 0) {
        return;
    }
    input.seek(endPosition_);
    stream::SafeInput safe(input);
    end_.read(safe, true);

    centralPosition_ = locateCentral(input);
    if (centralPosition_ == kNotFound) {
        throw brindle5::exception::BadFormat("cannot locate the central directory in zip reader");
    }
    input.seek(centralPosition_);

    archive().notify(vessel5::kScanStarted);
    std::string root;
    std::uint32_t topLevelNames = 0;
    bool sameRoot = true;
    for (std::uint32_t i = 0; i < end_.totalEntries; ++i) {
        evacuateUnless(archive().dispatch(vessel5::kScanNext));
        readCentralRecord(safe, "invalid central header in zip reader");
        const std::string& name = central_.name;
        settings.archiveName = name;
        if (endsWithSlash(name)) {
            archive().currentFolder().name = name.substr(0, name.size() - 1);
            evacuateUnless(archive().dispatch(vessel5::kScanFolder, central_.localHeaderOffset));
        } else {
            archive().currentItem().name = name;
            evacuateUnless(archive().dispatch(vessel5::kScanFile, central_.localHeaderOffset));
        }
        const std::size_t slash = name.find('/');
        if (slash == std::string::npos) {
            ++topLevelNames;
        } else if (root.empty()) {
            root = name.substr(0, slash);
        } else {
            sameRoot = name.compare(0, slash, root) == 0 && slash == root.size();
        }
        settings.totalUncompressedSize += central_.uncompressedSize;
        std::uint32_t compressed = central_.compressedSize;
        if (central_.flags & kFlagEncrypted) {
            compressed -= 12;  // the encryption header; 32-bit like the total itself
        }
        settings.totalCompressedSize += compressed;
        settings.entryCount += 1;
    }
    archive().notify(vessel5::kScanEnded);

    end_.read(safe, true);
    if (!end_.isValid()) {
        throw brindle5::exception::BadFormat(
            "invalid signature at the end of the central directory in zip reader");
    }
    const bool oneTopLevelFile = root.empty() && topLevelNames == 1;
    const bool oneRootFolder = sameRoot && topLevelNames == 0;
    if (!oneTopLevelFile && !oneRootFolder) {
        settings.archiveName.clear();
    }
}

void ZipReader::decodeStream(stream::RandomInput& rawInput) {
    evacuateUnless(archive().dispatch(vessel5::kDestinationWanted));
    archive().notify(vessel5::kStarted, archive().settings().totalUncompressedSize);
    archive().setEndPosition(static_cast<std::uint32_t>(rawInput.size()));

    // Records are read byte by byte: through a buffer, and through a safe input so that an
    // archive cut short ends in an exception rather than in records of filler bytes.
    stream::BufferedInput input(rawInput, kRecordBuffer);
    stream::SafeInput safe(input);
    input.seek(endPosition_);
    end_.read(safe, true);
    if (end_.diskNumber != 0) {
        throw brindle5::exception::UnsupportedFormat(
            "expansion of segmented multi-part archives not supported by zip reader");
    }
    if (end_.centralSize != 0) {
        input.seek(centralPosition_);
        readCentralRecord(safe, "invalid central directory entry in zip reader");
        input.seek(centralPosition_);

        produced() = 0;
        std::vector<PendingEntry> entries;
        entries.reserve(end_.totalEntries);
        for (std::uint32_t i = 0; i < end_.totalEntries; ++i) {
            readCentralRecord(safe, "invalid central directory entry in zip reader");
            PendingEntry entry;
            entry.crc = central_.crc;
            entry.compressedSize = central_.compressedSize;
            entry.uncompressedSize = central_.uncompressedSize;
            if ((central_.versionNeeded & 0xFF) > 20 || !isSupportedMethod(central_.method)) {
                throw brindle5::exception::UnsupportedMethod(
                    "unsupported compression method in zip reader");
            }
            entry.localHeaderOffset = central_.localHeaderOffset;
            entry.name = central_.name;
            entry.versionMadeBy = central_.versionMadeBy;
            entry.externalAttributes = central_.externalAttributes;
            entries.push_back(std::move(entry));
        }
        clearOutputNames();
        for (const PendingEntry& entry : entries) {
            extractEntry(input, entry);
        }
        archive().currentItem().reset();
    }
    archive().notify(vessel5::kEnded);
    archive().notify(vessel5::kDecoded);
}

void ZipReader::extractEntry(stream::RandomInput& input, const PendingEntry& entry) {
    LocalHeader local;
    locateLocal(input, entry.localHeaderOffset, local);
    if (!local.isValid()) {
        throw brindle5::exception::BadFormat("bad local header in zip reader");
    }
    if (local.flags & kFlagDataDescriptor) {
        // The local copies are zeros or guesses; the central record has the real values.
        local.crc = entry.crc;
        local.compressedSize = entry.compressedSize;
        local.uncompressedSize = entry.uncompressedSize;
    }
    if (endsWithSlash(local.name)) {
        extractFolder(local);
    } else {
        extractFile(input, entry, local);
    }
}

void ZipReader::locateLocal(stream::RandomInput& input, std::uint32_t offset, LocalHeader& local) {
    const std::uint64_t candidates[] = {std::uint64_t(startOffset()) + offset, offset};
    for (std::uint64_t position : candidates) {
        try {
            input.seek(position);
            stream::SafeInput safe(input);
            local.read(safe, true);
            return;
        } catch (const generic::exception&) {
            // Try the next convention.
        }
    }
    throw brindle5::exception::BadFormat("cannot locate a local header in zip reader");
}

void ZipReader::extractFolder(const LocalHeader& local) {
    const std::string path = makeOutputPath(local.name.substr(0, local.name.size() - 1));
    createOutputFolder(path, kCreateAttempts);
}

void ZipReader::extractFile(stream::RandomInput& input, const PendingEntry& entry,
                            const LocalHeader& local) {
    vessel5::FileItem& item = archive().currentItem();
    item.compressedSize.set(local.compressedSize);
    item.uncompressedSize.set(local.uncompressedSize);
    item.name = makeOutputPath(local.name);
    item.versionMadeBy = entry.versionMadeBy;
    item.externalAttributes = entry.externalAttributes;
    if (!archive().dispatch(vessel5::kItemStarted, entry.localHeaderOffset)) {
        produced() += local.uncompressedSize;
        evacuateUnless(
            archive().dispatch(vessel5::kProgress, static_cast<std::uint32_t>(produced())));
        return;
    }
    stream::FileOutput output;
    // The name may have changed on the way (a unique or shortened name): handlers of the entry's
    // end see the file that was really written.
    item.name = createOutputFile(output, item.name, kCreateAttempts);
    decodeEntry(input, output, local);
    archive().notify(vessel5::kItemDone);
    item.reset();
}

void ZipReader::decodeData(stream::RandomInput& input, stream::OutputStream& output,
                           const LocalHeader& local) {
    std::unique_ptr<EntryDecoder> decoder =
        createEntryDecoder(local.method, local.flags, archive());
    decoder->produced = produced();
    if (takesCompressedSize(local.method)) {
        decoder->compressedSize = local.compressedSize;
    } else {
        decoder->uncompressedSize = local.uncompressedSize;
    }
    // No decoder may read past the entry's data, however damaged that data is.
    BoundedInput data(input, local.compressedSize);
    if (local.flags & kFlagEncrypted) {
        if (local.compressedSize < EncryptionHeader::kSize) {
            throw brindle5::exception::BadFormat(
                "encrypted file is shorter than its encryption header in zip reader");
        }
        if (takesCompressedSize(local.method)) {
            decoder->compressedSize -= EncryptionHeader::kSize;
        }
        algorithm::zip::TraditionalCipher cipher;
        cipher.setPassword(archive().password());
        cipher.reset();
        EncryptionHeader header(cipher);
        const bool descriptor = (local.flags & kFlagDataDescriptor) != 0;
        header.setExpect(static_cast<std::uint8_t>(descriptor ? local.time >> 8 : local.crc >> 24));
        stream::SafeInput safeData(data);
        header.read(safeData, true);
        stream::CipherInput decrypted(data, cipher);
        decoder->decode(decrypted, output);
    } else {
        decoder->decode(data, output);
    }
    produced() = decoder->produced;
    if (decoder->crc != local.crc) {
        throw brindle5::exception::BadData("CRC mismatch in zip reader; data is invalid");
    }
}

void ZipReader::setModificationTime(stream::FileOutput& output, const LocalHeader& local) {
    std::uint64_t utc = 0;
    try {
        utc = io::FatTime(local.date, local.time).utc();
    } catch (const generic::exception&) {
        // A date that names no day (month 0, say) cannot be converted: the file keeps the time
        // of its writing rather than being lost over its time stamp.
        return;
    }
    output.file().setModificationFileTime(utc);
}

void ZipReader::decodeEntry(stream::RandomInput& input, stream::FileOutput& output,
                            const LocalHeader& local) {
    try {
        decodeData(input, output, local);
        output.flush();
        setModificationTime(output, local);
        output.close();
    } catch (...) {
        try {
            output.close();
        } catch (const generic::exception&) {
            // The entry's own failure is the one to report.
        }
        if (archive().dispatch(vessel5::kItemFailed)) {
            try {
                output.file().unlink();
            } catch (const generic::exception&) {
                // As above: a leftover file is less important than the reason.
            }
        }
        throw;
    }
}

}  // namespace zip
}  // namespace format
