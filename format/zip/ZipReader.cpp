#include "format/zip/ZipReader.h"

#include <vector>

#include "algorithm/CipherInput.h"
#include "algorithm/zip/WinZipAes.h"
#include "archive/Archive.h"
#include "archive/LinkTarget.h"
#include "archive/UnixPermissions.h"
#include "archive/Wipe.h"
#include "base/CheckedSum.h"
#include "base/Decimal.h"
#include "base/Exception.h"
#include "base/Utf8.h"
#include "format/zip/BoundedInput.h"
#include "format/zip/EncryptionHeader.h"
#include "format/zip/EntryDecryption.h"
#include "format/zip/EntryChecks.h"
#include "format/zip/ExtraFields.h"
#include "format/zip/LocalHeaders.h"
#include "format/zip/MethodDecoders.h"
#include "format/zip/MethodNames.h"
#include "format/zip/NameDecoding.h"
#include "format/zip/ParallelExtraction.h"
#include "format/zip/Zip64EndHeader.h"
#include "io/FatTime.h"
#include "io/FileOutput.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "stream/BufferedInput.h"
#include "stream/MemoryStream.h"
#include "stream/SafeInput.h"

namespace format {
namespace zip {

namespace {

constexpr std::uint32_t kRecordBuffer = 0x10000;

// From this size on, an entry extracted by a run of several threads is decoded on one thread and
// checked and written on another.
constexpr std::uint64_t kPipelineThreshold = 4u << 20;

// Signatures that may follow the last central record: the digital signature, the Zip64 end
// record and the end record.
const Signature kDirectoryFollowers[] = {
    {0x50, 0x4B, 0x05, 0x05}, Zip64EndHeader::kSignature, EndHeader::kSignature};

void evacuateUnless(bool goOn) {
    if (!goOn) {
        throw brindle5::exception::Evacuation();
    }
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= path.size()) {
        std::string::size_type end = path.find(platform::kSeparator, start);
        if (end == std::string::npos) {
            end = path.size();
        }
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string joinPath(const std::vector<std::string>& parts, std::size_t count) {
    std::string path;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            path += platform::kSeparator;
        }
        path += parts[i];
    }
    return path;
}

}  // namespace

ZipReader::ZipReader(std::uint32_t startOffset, vessel5::Archive& archive)
    : vessel5::FormatReader(startOffset, archive) {}

ZipReader::~ZipReader() {
    for (std::string& password : fitted_) {
        vessel5::wipe(password);
    }
}

void ZipReader::locateEndRecords(stream::RandomInput& input) {
    const std::uint64_t located = end_.locate(input);
    if (located == EndHeader::kNotFound) {
        throw brindle5::exception::BadFormat("cannot locate the central directory in zip reader");
    }
    endPosition_ = located;
    input.seek(endPosition_);
    stream::SafeInput safe(input);
    end_.read(safe, true);
    entryCount_ = end_.totalEntries;
    centralSize_ = end_.centralSize;
    centralOffset_ = end_.centralOffset;
    directoryEnd_ = endPosition_;
    zip64_ = false;

    if (endPosition_ < Zip64Locator::kFixedSize) {
        return;
    }
    Zip64Locator locator;
    try {
        input.seek(endPosition_ - Zip64Locator::kFixedSize);
        stream::SafeInput lsafe(input);
        locator.read(lsafe, true);
    } catch (const generic::exception&) {
        return;  // no locator: a classic archive
    }
    // The Zip64 end record lies right before its locator unless it carries extensible data;
    // then the locator's offset, counted like any other, finds it.
    const std::uint64_t before = endPosition_ - Zip64Locator::kFixedSize;
    std::vector<std::uint64_t> candidates;
    if (before >= Zip64EndHeader::kFixedSize) {
        candidates.push_back(before - Zip64EndHeader::kFixedSize);
    }
    std::uint64_t counted = 0;
    if (base::addChecked(startOffset(), locator.endOffset, counted)) {
        candidates.push_back(counted);
    }
    candidates.push_back(locator.endOffset);
    for (std::uint64_t position : candidates) {
        if (position >= before) {
            continue;
        }
        Zip64EndHeader record;
        try {
            input.seek(position);
            stream::SafeInput rsafe(input);
            record.read(rsafe, true);
        } catch (const generic::exception&) {
            continue;
        }
        zip64_ = true;
        directoryEnd_ = position;
        if (record.diskNumber != 0 || record.centralDisk != 0 || locator.totalDisks > 1) {
            throw brindle5::exception::UnsupportedFormat(
                "expansion of segmented multi-part archives not supported by zip reader");
        }
        entryCount_ = record.totalEntries;
        centralSize_ = record.centralSize;
        centralOffset_ = record.centralOffset;
        return;
    }
    throw brindle5::exception::BadFormat(
        "cannot locate the Zip64 end of central directory record in zip reader");
}

PendingEntry ZipReader::readCentralRecord(stream::InputStream& input) {
    central_.read(input, true);
    PendingEntry entry;
    WideValues wide;
    wide.uncompressedSize = central_.uncompressedSize;
    wide.compressedSize = central_.compressedSize;
    wide.localHeaderOffset = central_.localHeaderOffset;
    wide.diskNumberStart = central_.diskNumberStart;
    widenFromZip64(central_.extra, true, wide);
    entry.localHeaderOffset = wide.localHeaderOffset;
    entry.compressedSize = wide.compressedSize;
    entry.uncompressedSize = wide.uncompressedSize;
    entry.crc = central_.crc;
    entry.versionNeeded = central_.versionNeeded;
    entry.flags = central_.flags;
    entry.method = central_.method;
    AesExtra aes;
    if (entry.method == kAesMethod && findAesExtra(central_.extra, aes)) {
        entry.aesStrength = aes.strength;
        entry.innerMethod = aes.method;
    }
    entry.time = central_.time;
    entry.date = central_.date;
    entry.versionMadeBy = central_.versionMadeBy;
    entry.externalAttributes = central_.externalAttributes;
    std::uint64_t ticks = 0;
    if (exactModificationTime(central_.extra, ticks)) {
        entry.exactTime = ticks;
    }
    entry.name = decodedName(central_);
    if (entry.name.size() != central_.name.size()) {
        // Decoding grew the name (U+FFFD for each bad byte, code page 437 to UTF-8) in a buffer
        // that may be twice its size: a directory of long names would hold that many times the
        // archive.
        entry.name.shrink_to_fit();
    }
    entry.storedName = central_.name;
    return entry;
}

bool ZipReader::centralRecordAt(stream::RandomInput& input, std::uint64_t position,
                                PendingEntry& first) {
    if (position > directoryEnd_ || directoryEnd_ - position < CentralHeader::kFixedSize) {
        return false;
    }
    try {
        input.seek(position);
        stream::SafeInput safe(input);
        central_.read(safe, true);
    } catch (const generic::exception&) {
        return false;
    }
    try {
        input.seek(position);
        stream::SafeInput safe(input);
        first = readCentralRecord(safe);
    } catch (const generic::exception&) {
        // A whole record with a damaged Zip64 field: reading the directory reports it.
        first.localHeaderOffset = central_.localHeaderOffset;
    }
    // A plausible record lies wholly inside the directory.
    return central_.size() <= directoryEnd_ - position;
}

bool ZipReader::localSignatureAt(stream::RandomInput& input, std::uint64_t position) {
    try {
        input.seek(position);
        stream::SafeInput safe(input);
        Signature signature;
        for (auto& byte : signature) {
            byte = static_cast<std::uint8_t>(safe.get());
        }
        return signature == LocalHeader::kSignature;
    } catch (const generic::exception&) {
        return false;
    }
}

void ZipReader::decideBase(stream::RandomInput& input) {
    std::vector<std::uint64_t> candidates;
    auto add = [&candidates](std::uint64_t base) {
        for (std::uint64_t known : candidates) {
            if (known == base) {
                return;
            }
        }
        candidates.push_back(base);
    };
    // Where the directory really is, as the peers compute it, then the two conventions.
    if (directoryEnd_ >= centralSize_ && directoryEnd_ - centralSize_ >= centralOffset_) {
        add(directoryEnd_ - centralSize_ - centralOffset_);
    }
    add(startOffset());
    add(0);

    std::uint64_t plausible = kNotFound;
    for (std::uint64_t base : candidates) {
        PendingEntry first;
        std::uint64_t directory = 0;
        if (!base::addChecked(base, centralOffset_, directory) ||
            !centralRecordAt(input, directory, first)) {
            continue;
        }
        if (plausible == kNotFound) {
            plausible = base;
        }
        std::uint64_t local = 0;
        if (base::addChecked(base, first.localHeaderOffset, local) &&
            localSignatureAt(input, local)) {
            base_ = base;
            return;
        }
    }
    if (plausible == kNotFound) {
        throw brindle5::exception::BadFormat("cannot locate the central directory in zip reader");
    }
    // No base finds the first entry: the directory decides, and that entry fails on its own.
    base_ = plausible;
}

void ZipReader::readCentralDirectory(stream::RandomInput& input) {
    vessel5::Settings& settings = archive().settings();
    centralPosition_ = base_ + centralOffset_;
    stream::BufferedInput buffered(input, kRecordBuffer);
    buffered.seek(centralPosition_);
    stream::SafeInput safe(buffered);

    archive().notify(vessel5::kScanStarted);
    std::string root;
    std::uint64_t topLevelNames = 0;
    bool sameRoot = true;
    entries_.clear();
    for (std::uint64_t i = 0; i < entryCount_; ++i) {
        evacuateUnless(archive().dispatch(vessel5::kScanNext));
        PendingEntry entry;
        try {
            entry = readCentralRecord(safe);
        } catch (const brindle5::exception::BadFormat&) {
            throw;
        } catch (const generic::exception&) {
            throw brindle5::exception::BadFormat("invalid central header in zip reader");
        }
        const std::string& name = entry.name;
        settings.archiveName = name;
        entries_.push_back(entry);
        if (entry.isFolder()) {
            archive().currentFolder().name = name.substr(0, name.size() - 1);
            evacuateUnless(archive().dispatch(vessel5::kScanFolder, entry.localHeaderOffset));
        } else {
            archive().currentItem().name = name;
            evacuateUnless(archive().dispatch(vessel5::kScanFile, entry.localHeaderOffset));
        }
        const std::size_t slash = name.find('/');
        if (slash == std::string::npos) {
            ++topLevelNames;
        } else if (root.empty()) {
            root = name.substr(0, slash);
        } else {
            sameRoot = name.compare(0, slash, root) == 0 && slash == root.size();
        }
        settings.totalUncompressedSize =
            base::addSaturated(settings.totalUncompressedSize, entry.uncompressedSize);
        std::uint64_t compressed = entry.compressedSize;
        const std::uint64_t overhead = (entry.flags & kFlagEncrypted) == 0 ? 0
                                       : entry.method == kAesMethod
                                           ? algorithm::zip::aesOverhead(entry.aesStrength)
                                           : EncryptionHeader::kSize;
        if (compressed >= overhead) {
            compressed -= overhead;
        }
        settings.totalCompressedSize = base::addSaturated(settings.totalCompressedSize, compressed);
        settings.entryCount += 1;
    }
    archive().notify(vessel5::kScanEnded);

    Signature next = {};
    for (auto& byte : next) {
        byte = static_cast<std::uint8_t>(safe.get());
    }
    bool ends = false;
    for (const Signature& follower : kDirectoryFollowers) {
        ends = ends || next == follower;
    }
    if (!ends) {
        throw brindle5::exception::BadFormat(
            "the central directory does not end after the entries the end record counts in zip "
            "reader");
    }
    const bool oneTopLevelFile = root.empty() && topLevelNames == 1;
    const bool oneRootFolder = sameRoot && topLevelNames == 0;
    if (!oneTopLevelFile && !oneRootFolder) {
        settings.archiveName.clear();
    }
}

void ZipReader::scan(stream::RandomInput& input) {
    vessel5::Settings& settings = archive().settings();
    settings.reset();
    settings.totalCompressedSize = 0;
    settings.totalUncompressedSize = 0;
    entries_.clear();

    locateEndRecords(input);
    if (entryCount_ == 0) {
        // An empty central directory is no error: there is nothing to extract.
        archive().notify(vessel5::kScanStarted);
        archive().notify(vessel5::kScanEnded);
        return;
    }
    decideBase(input);
    readCentralDirectory(input);
}

void ZipReader::decodeStream(stream::RandomInput& rawInput) {
    evacuateUnless(archive().dispatch(vessel5::kDestinationWanted));
    archive().notify(vessel5::kStarted, archive().settings().totalUncompressedSize);
    archive().setEndPosition(static_cast<std::uint32_t>(rawInput.size()));
    if (end_.diskNumber != 0 && end_.diskNumber != kZip64Marker16) {
        throw brindle5::exception::UnsupportedFormat(
            "expansion of segmented multi-part archives not supported by zip reader");
    }
    // The whole directory is checked before anything is written.
    for (const PendingEntry& entry : entries_) {
        checkAesEntry(entry);
        const std::uint16_t method = dataMethod(entry);
        if (method > 0xFF || !isSupportedMethod(static_cast<std::uint8_t>(method))) {
            throw brindle5::exception::UnsupportedMethod(unsupportedMethodText(method) + " for " +
                                                         entry.name + " in zip reader");
        }
        if ((entry.versionNeeded & 0xFF) > newestVersionNeeded(entry)) {
            throw brindle5::exception::UnsupportedMethod(
                "unsupported version needed to extract " +
                generic::decimal((entry.versionNeeded & 0xFF) / 10) + "." +
                generic::decimal((entry.versionNeeded & 0xFF) % 10) + " for " + entry.name +
                " in zip reader");
        }
        // A name this system cannot create would stop the run half way.
        const std::string& name = entry.name;
        checkOutputLength(entry.isFolder() ? name.substr(0, name.size() - 1) : name);
    }

    // Refused as a whole too: a local header that disagrees with its central record, entries
    // that share bytes, and more than the disk can take. The extents and sizes judged here are
    // the ones extraction uses below.
    locals_ = readLocalHeaders(rawInput, base_, centralPosition_, entries_);
    checkNoOverlap(entries_, locals_);
    std::uint64_t declared = 0;
    for (const LocalEntry& local : locals_) {
        declared = base::addSaturated(declared, local.values.uncompressedSize);
    }
    checkRoom(declared);

    produced() = 0;
    clearOutputNames();
    links_.clear();
    const unsigned threads = workerThreads();
    if (threads > 1 && rawInput.readsAt()) {
        ParallelExtraction(*this, rawInput, threads).run();
    } else {
        // Records are read byte by byte: through a buffer, and through a safe input so that an
        // archive cut short ends in an exception rather than in records of filler bytes.
        stream::BufferedInput input(rawInput, kRecordBuffer);
        unlockFirstEncrypted(input);
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            extractEntry(input, entries_[i], locals_[i]);
        }
    }
    finishLinks();
    archive().currentItem().reset();
    archive().notify(vessel5::kEnded);
    archive().notify(vessel5::kDecoded);
}

void ZipReader::extractEntry(stream::RandomInput& input, const PendingEntry& entry,
                             const LocalEntry& local) {
    current_ = &entry;
    unlocked_.reset();
    if (entry.isFolder() && namesDestination(entry.name)) {
        return;  // "./" and the like: the destination itself, which exists
    }
    if (!entry.isFolder() && namesDestination(entry.name)) {
        reportSkipped(entry.name, "no usable output name");
        return;
    }
    const EntryValues& values = local.values;
    input.seek(local.dataStart);
    if (entry.isFolder()) {
        extractFolder(entry);
    } else if (entry.isLink() && platform::kSymbolicLinks) {
        if (values.uncompressedSize > kMaxLinkTarget) {
            reportSkipped(entry.name, "link target is too long (" +
                                          generic::decimal(values.uncompressedSize) + " bytes)");
            return;
        }
        extractLink(input, entry, values);
    } else {
        // Where links cannot be made without privileges, a link becomes a small file that holds
        // its target, as other extractors do.
        extractFile(input, entry, values);
    }
}

void ZipReader::extractFolder(const PendingEntry& entry) {
    const std::string path = makeOutputPath(entry.name.substr(0, entry.name.size() - 1));
    createOutputFolder(path, kCreateAttempts);
}

void ZipReader::extractFile(stream::RandomInput& input, const PendingEntry& entry,
                            const EntryValues& values) {
    vessel5::FileItem& item = archive().currentItem();
    item.compressedSize.set(values.compressedSize);
    item.uncompressedSize.set(values.uncompressedSize);
    item.name = makeOutputPath(entry.name, true);
    item.versionMadeBy = entry.versionMadeBy;
    item.externalAttributes = entry.externalAttributes;
    if (entry.isLink()) {
        // The file that stands for a link is a plain file, not a program.
        item.externalAttributes = (0100644u << 16) | (entry.externalAttributes & 0xFFFF);
    }
    if (!archive().dispatch(vessel5::kItemStarted, entry.localHeaderOffset)) {
        produced() = base::addSaturated(produced(), values.uncompressedSize);
        evacuateUnless(archive().dispatch(vessel5::kProgress, produced()));
        return;
    }
    if (values.flags & kFlagEncrypted) {
        // The password is known to fit before the file is made.
        unlocked_ = unlock(input, values);
    }
    if (parallel_ != nullptr) {
        parallel_->startFile(input, entry, values);
        item.reset();
        return;
    }
    stream::FileOutput output;
    // The name may have changed on the way (a unique or shortened name): handlers of the entry's
    // end see the file that was really written.
    item.name = createOutputFile(output, item.name, kCreateAttempts);
    decodeEntry(input, output, entry, values);
    archive().recordWritten(entry.name, item.name);
    archive().notify(vessel5::kItemDone);
    item.reset();
}

std::string ZipReader::decodeLinkTarget(stream::RandomInput& input, const EntryValues& values) {
    if (values.uncompressedSize > kMaxLinkTarget) {
        throw brindle5::exception::BadFormat("link target is too long in zip reader");
    }
    stream::MemoryOutput target;
    decodeData(input, target, values);
    return target.text();
}

void ZipReader::extractLink(stream::RandomInput& input, const PendingEntry& entry,
                            const EntryValues& values) {
    const std::string target = decodeLinkTarget(input, values);
    const std::string path = makeOutputPath(entry.name);
    // The link's folder is made now, like any entry's: when the links are judged, every folder
    // this run makes exists, and a target may lead only through those that do.
    const std::string::size_type slash = path.rfind(platform::kSeparator);
    if (slash != std::string::npos && slash >= destinationPrefix().size()) {
        createOutputFolder(path.substr(0, slash), kCreateAttempts);
    }
    links_.push_back({path, target});
}

void ZipReader::finishLinks() {
    if (!platform::kSymbolicLinks) {
        // extractEntry collects no links where the system does not make them: nothing to make,
        // and none of the code below is needed in such a build.
        links_.clear();
        return;
    }
    const std::string prefix = destinationPrefix();
    for (const PendingLink& link : links_) {
        std::vector<std::string> place = splitPath(link.name.substr(prefix.size()));
        const std::string shown = joinPath(place, place.size());
        place.pop_back();
        std::vector<std::string> resolved;
        std::vector<std::vector<std::string>> passed;
        const std::string printable = base::printableText(link.target);
        // Judged on the folders as they are now, after every renaming, with the links made so
        // far: a place that is a real folder stays one (nothing is replaced), so no link made
        // later can change where this one leads.
        std::string problem = vessel5::resolveLinkTarget(place, link.target, resolved, &passed);
        for (const auto& step : passed) {
            if (!problem.empty()) {
                break;
            }
            const std::string path = prefix + joinPath(step, step.size());
            if (platform::isSymbolicLink(path)) {
                problem = "passes through another link";
            } else if (!platform::isRealFolder(path)) {
                problem = "passes through " + base::printableText(joinPath(step, step.size())) +
                          ", which is no folder";
            }
        }
        if (!problem.empty()) {
            reportSkipped(shown, "link target " + printable + " " + problem);
            continue;
        }
        createOutputLink(link.target, link.name, kCreateAttempts);
    }
    links_.clear();
}

void ZipReader::reportSkipped(const std::string& name, const std::string& reason) {
    archive().notifyText(vessel5::kItemSkipped, name + ": " + reason);
}

unsigned ZipReader::workerThreads() {
    return archive().settings().threads;
}

void ZipReader::decodeData(stream::RandomInput& input, stream::OutputStream& output,
                           const EntryValues& values) {
    std::unique_ptr<EntryDecryption> decryption = std::move(unlocked_);
    if ((values.flags & kFlagEncrypted) && !decryption) {
        decryption = unlock(input, values);
    }
    decodeEntryData(archive(), input, output, values, std::move(decryption), produced(),
                    workerThreads());
}

void decodeEntryData(vessel5::Archive& relay, stream::RandomInput& input,
                     stream::OutputStream& output, const EntryValues& values,
                     std::unique_ptr<EntryDecryption> decryption, std::uint64_t& produced,
                     unsigned threads) {
    std::unique_ptr<EntryDecoder> decoder = createEntryDecoder(values.method, values.flags, relay);
    decoder->produced = produced;
    decoder->pipelined = threads > 1 && values.uncompressedSize >= kPipelineThreshold;
    decoder->inputSize = values.compressedSize;
    decoder->outputSize = values.uncompressedSize;
    if (takesCompressedSize(values.method)) {
        decoder->compressedSize = values.compressedSize;
    } else {
        decoder->uncompressedSize = values.uncompressedSize;
    }
    // No decoder may read past the entry's data, however damaged that data is, nor write more
    // or less than the entry declares.
    SizeLimitedOutput limited(output, values.uncompressedSize);
    bool checksCrc = true;
    if (values.flags & kFlagEncrypted) {
        // The input is at the first encrypted data byte now.
        const std::uint64_t dataSize = values.compressedSize - decryption->overhead();
        if (takesCompressedSize(values.method)) {
            decoder->compressedSize = dataSize;
        }
        BoundedInput data(input, dataSize);
        stream::CipherInput decrypted(data, decryption->cipher());
        decoder->decode(decrypted, limited);
        // Whatever the decoder left of the data is decrypted too: the authentication code
        // covers every byte.
        std::uint8_t rest[4096];
        while (data.left() > 0 &&
               decrypted.read(
                   rest, static_cast<std::uint32_t>(data.left() < sizeof rest ? data.left()
                                                                              : sizeof rest)) > 0) {
        }
        decryption->finish(input);
        checksCrc = decryption->checksCrc();
    } else {
        BoundedInput data(input, values.compressedSize);
        decoder->decode(data, limited);
    }
    produced = decoder->produced;
    limited.finish();
    if (checksCrc && decoder->crc != values.crc) {
        throw brindle5::exception::BadData("CRC mismatch in zip reader; data is invalid");
    }
}

std::uint16_t newestVersionNeeded(const PendingEntry& entry) {
    if (entry.method != kAesMethod) {
        return newestVersionNeeded(entry.method);
    }
    const std::uint16_t inner = newestVersionNeeded(entry.innerMethod);
    return inner > kNewestVersionNeededAes ? inner : kNewestVersionNeededAes;
}

void ZipReader::checkAesEntry(const PendingEntry& entry) {
    if (entry.method != kAesMethod) {
        return;
    }
    algorithm::zip::AesStrength sizes = {};
    if (!algorithm::zip::aesStrength(entry.aesStrength, sizes)) {
        throw brindle5::exception::UnsupportedMethod(
            "AES encryption without a known key strength for " + entry.name + " in zip reader");
    }
}

void ZipReader::unlockFirstEncrypted(stream::RandomInput& input) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const PendingEntry& entry = entries_[i];
        if ((entry.flags & kFlagEncrypted) == 0 || entry.isFolder() ||
            namesDestination(entry.name)) {
            continue;
        }
        current_ = &entry;
        const LocalEntry& local = locals_[i];
        try {
            if (local.values.flags & kFlagEncrypted) {
                input.seek(local.dataStart);
                unlock(input, local.values);
            }
        } catch (const brindle5::exception::BadFormat&) {
            // A damaged entry (data shorter than its encryption header): it fails in its turn,
            // with its own message.
        }
        return;
    }
}

std::unique_ptr<EntryDecryption> ZipReader::unlock(stream::RandomInput& input,
                                                   const EntryValues& values) {
    const std::string& name = current_ != nullptr ? current_->name : std::string();
    const std::uint64_t start = input.tell();
    auto attempt = [&](const std::string& password) {
        input.seek(start);
        return EntryDecryption::open(input, values, password);
    };
    // The password that fitted last (or was given), the empty one and those that fitted other
    // entries, silently; then the user.
    if (auto decryption = attempt(archive().password())) {
        return decryption;
    }
    if (!archive().password().empty()) {
        if (auto decryption = attempt(std::string())) {
            return decryption;
        }
    }
    for (const std::string& password : fitted_) {
        if (password != archive().password()) {
            if (auto decryption = attempt(password)) {
                return decryption;
            }
        }
    }
    archive().setPasswordEntry(name);
    for (unsigned wrong = 0; wrong < kPasswordTries; ++wrong) {
        if (archive().handlers().size(vessel5::kPasswordWanted) == 0 ||
            !archive().dispatch(vessel5::kPasswordWanted, wrong)) {
            throw brindle5::exception::Password((wrong == 0 && archive().password().empty()
                                                     ? "a password is needed for "
                                                     : "wrong password for ") +
                                                name + " in zip reader");
        }
        if (auto decryption = attempt(archive().password())) {
            fitted_.push_back(archive().password());
            return decryption;
        }
    }
    throw brindle5::exception::Password("wrong password for " + name + " in zip reader");
}

void ZipReader::setModificationTime(stream::FileOutput& output, const PendingEntry& entry,
                                    const EntryValues& values) {
    if (entry.exactTime != 0) {
        output.file().setModificationFileTime(entry.exactTime);
        return;
    }
    std::uint64_t utc = 0;
    try {
        utc = io::FatTime(values.date, values.time).utc();
    } catch (const generic::exception&) {
        // A date that names no day (month 0, say) cannot be converted: the file keeps the time
        // of its writing rather than being lost over its time stamp.
        return;
    }
    output.file().setModificationFileTime(utc);
}

void ZipReader::decodeEntry(stream::RandomInput& input, stream::FileOutput& output,
                            const PendingEntry& entry, const EntryValues& values) {
    try {
        try {
            decodeData(input, output, values);
        } catch (const algorithm::Exception& e) {
            // A decoder knows its data, not the entry it belongs to; the user needs both.
            throw algorithm::Exception(e.message() + " for " + entry.name, e.kind());
        }
        output.flush();
        setModificationTime(output, entry, values);
        if (archive().keepsUnixPermissions()) {
            const std::uint32_t mode = vessel5::unixPermissionsOf(archive().currentItem());
            if (mode != 0) {
                // A file whose bits cannot be set keeps its contents: no reason to fail.
                output.file().setUnixPermissions(mode);
            }
        }
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
