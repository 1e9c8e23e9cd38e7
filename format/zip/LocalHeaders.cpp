#include "format/zip/LocalHeaders.h"

#include <string>

#include "base/CheckedSum.h"
#include "base/Exception.h"
#include "format/zip/EntryChecks.h"
#include "format/zip/ExtraFields.h"
#include "format/zip/LocalHeader.h"
#include "stream/BufferedInput.h"
#include "stream/SafeInput.h"

namespace format {
namespace zip {

namespace {

// Local headers are small and, in an archive of small files, close together: one buffer fill
// then holds several, while a header in front of a large entry costs one short read.
constexpr std::uint32_t kHeaderBuffer = 0x2000;

[[noreturn]] void throwOutside(const PendingEntry& entry) {
    throw brindle5::exception::BadFormat("the local header and data of " + entry.name +
                                         " do not lie before the central directory in zip reader");
}

// The values that will decode the entry's data, from the local header as extraction reads it.
EntryValues valuesOf(const LocalHeader& local, const PendingEntry& entry) {
    EntryValues values;
    values.flags = local.flags;
    values.method = local.method;
    values.time = local.time;
    values.date = local.date;
    if (local.flags & kFlagDataDescriptor) {
        // The local copies are zeros or guesses; the central record has the real values.
        values.crc = entry.crc;
        values.compressedSize = entry.compressedSize;
        values.uncompressedSize = entry.uncompressedSize;
        return values;
    }
    WideValues wide;
    wide.uncompressedSize = local.uncompressedSize;
    wide.compressedSize = local.compressedSize;
    try {
        widenFromZip64(local.extra, false, wide);
    } catch (const brindle5::exception::BadFormat& e) {
        throw brindle5::exception::BadFormat(e.message() + " for the local header of " +
                                             entry.name);
    }
    values.crc = local.crc;
    values.compressedSize = wide.compressedSize;
    values.uncompressedSize = wide.uncompressedSize;
    return values;
}

// An AES entry's data is decoded by the method its AES field names, with the key strength and
// version of that field; the method (99) was checked against the central record's already, the
// strength and inner method are checked right after.
void takeAesExtra(const LocalHeader& local, const PendingEntry& entry, EntryValues& values) {
    if (local.method != kAesMethod) {
        return;
    }
    AesExtra aes;
    if (!findAesExtra(local.extra, aes) || aes.method > 0xFF) {
        throw brindle5::exception::BadFormat(
            "AES encrypted local header without its extra field in zip reader for " + entry.name);
    }
    values.method = static_cast<std::uint8_t>(aes.method);
    values.aesStrength = aes.strength;
    values.aesVersion = aes.version;
}

}  // namespace

std::vector<LocalEntry> readLocalHeaders(stream::RandomInput& rawInput, std::uint64_t base,
                                         std::uint64_t limit,
                                         const std::vector<PendingEntry>& entries) {
    stream::BufferedInput input(rawInput, kHeaderBuffer);
    std::vector<LocalEntry> locals;
    locals.reserve(entries.size());
    for (const PendingEntry& entry : entries) {
        LocalEntry result;
        if (!base::addChecked(base, entry.localHeaderOffset, result.headerStart) ||
            result.headerStart >= limit) {
            throwOutside(entry);
        }
        LocalHeader local;
        try {
            input.seek(result.headerStart);
            stream::SafeInput safe(input);
            local.read(safe, true);
        } catch (const generic::exception&) {
            throw brindle5::exception::BadFormat("bad local header in zip reader for " +
                                                 entry.name);
        }
        result.values = valuesOf(local, entry);
        checkLocalMatchesCentral(local, result.values, entry);
        takeAesExtra(local, entry, result.values);
        checkLocalAesMatchesCentral(result.values, entry);
        if (!base::addChecked(result.headerStart, local.size(), result.dataStart) ||
            !base::addChecked(result.dataStart, result.values.compressedSize, result.dataEnd) ||
            result.dataEnd > limit) {
            throwOutside(entry);
        }
        locals.push_back(result);
    }
    return locals;
}

}  // namespace zip
}  // namespace format
