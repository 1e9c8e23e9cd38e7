#include "tools/zipsfx/AppendCheck.h"

#include "archive/Archive.h"
#include "archive/SafePath.h"
#include "base/Decimal.h"
#include "base/Exception.h"
#include "format/zip/EndHeader.h"
#include "format/zip/EntryChecks.h"
#include "format/zip/ExtraFields.h"
#include "format/zip/LocalHeaders.h"
#include "format/zip/MethodDecoders.h"
#include "format/zip/MethodNames.h"
#include "format/zip/ZipReader.h"
#include "io/FileInput.h"
#include "stream/SafeInput.h"
#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

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

// The reader reads past the disk fields of the classic end record (a Zip64 end record's are
// checked as it is read): a split archive would fail only once the stub runs.
void checkOneDisk(stream::RandomInput& input, std::uint64_t endPosition) {
    format::zip::EndHeader end;
    input.seek(endPosition);
    stream::SafeInput safe(input);
    end.read(safe, true);
    auto oneDisk = [](std::uint16_t disk) {
        return disk == 0 || disk == format::zip::kZip64Marker16;
    };
    if (!oneDisk(end.diskNumber) || !oneDisk(end.centralDisk) ||
        end.diskEntries != end.totalEntries) {
        fail("a Zip on several disks");
    }
}

void checkEntry(const std::string& path, const format::zip::PendingEntry& entry) {
    const std::string& name = entry.name;
    if (name.empty() || vessel5::isAbsoluteOrClimbing(name)) {
        fail("'" + name + "' in " + path + " is an absolute name or climbs out with '..'; " +
             mendedName(name));
    }
    const std::uint16_t method = format::zip::dataMethod(entry);
    if (method > 0xFF || !format::zip::isSupportedMethod(static_cast<std::uint8_t>(method))) {
        fail("'" + name + "' in " + path + ": " + format::zip::unsupportedMethodText(method) +
             ", which the stub cannot extract");
    }
    const unsigned needed = entry.versionNeeded & 0xFF;
    const unsigned newest = format::zip::newestVersionNeeded(entry);
    if (needed > newest) {
        fail("'" + name + "' in " + path + " needs Zip version " + generic::decimal(needed / 10) +
             "." + generic::decimal(needed % 10) + " to extract; the stub extracts " +
             format::zip::methodName(method) +
             (entry.method == format::zip::kAesMethod ? " AES" : "") + " entries up to " +
             generic::decimal(newest / 10) + "." + generic::decimal(newest % 10));
    }
}

}  // namespace

std::vector<std::string> checkAppendable(const std::string& path) {
    vessel5::Archive archive;
    std::vector<format::zip::PendingEntry> entries;
    std::uint64_t base = 0;
    std::uint64_t endPosition = 0;
    std::uint64_t centralPosition = 0;
    try {
        archive.open(path);
        archive.scan();
        const auto* reader = dynamic_cast<const format::zip::ZipReader*>(archive.reader());
        if (reader == nullptr) {
            fail("no Zip reader for " + path);
        }
        entries = reader->entries();
        base = reader->base();
        endPosition = reader->endPosition();
        centralPosition = reader->centralPosition();
        archive.close();
    } catch (const brindle5::exception::Evacuation&) {
        throw;
    } catch (const generic::exception& e) {
        fail(path + " is no Zip the stub can read: " + e.message());
    }

    stream::FileInput input(path);
    checkOneDisk(input, endPosition);
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        checkEntry(path, entry);
        names.push_back(entry.name);
    }
    // The stub's own pass over the local headers, before it writes anything.
    try {
        const std::vector<format::zip::LocalEntry> locals =
            format::zip::readLocalHeaders(input, base, centralPosition, entries);
        format::zip::checkNoOverlap(entries, locals);
    } catch (const brindle5::exception::BadFormat& e) {
        fail(path + " is no Zip the stub can extract: " + e.message());
    }
    return names;
}

}  // namespace tools
