#include "format/zip/CheckingReader.h"

#include "archive/LinkTarget.h"
#include "archive/SafePath.h"
#include "base/Exception.h"
#include "stream/CountingOutput.h"
#include "stream/Stream.h"

namespace format {
namespace zip {

namespace {

using stream::CountingOutput;

}  // namespace

void CheckingReader::extractEntry(stream::RandomInput& input, const PendingEntry& entry) {
    skipped_.clear();
    try {
        ZipReader::extractEntry(input, entry);
    } catch (const brindle5::exception::Evacuation&) {
        throw;
    } catch (const generic::exception& e) {
        report_(entry.name, CheckResult::Failed, generic::describe(e));
        return;
    }
    if (!skipped_.empty()) {
        report_(entry.name, CheckResult::Skipped, skipped_);
        return;
    }
    report_(entry.name, CheckResult::Sound, std::string());
}

void CheckingReader::extractFolder(const PendingEntry&) {
    // A folder has no data; its local header was read and checked already.
}

void CheckingReader::extractFile(stream::RandomInput& input, const PendingEntry&,
                                 const EntryValues& values) {
    CountingOutput sink;
    decodeData(input, sink, values);
}

void CheckingReader::extractLink(stream::RandomInput& input, const PendingEntry& entry,
                                 const EntryValues& values) {
    const std::string target = decodeLinkTarget(input, values);
    std::vector<std::string> place = vessel5::safeComponents(entry.name, nullptr);
    place.pop_back();
    std::vector<std::string> resolved;
    if (!vessel5::resolveLinkTarget(place, target, resolved)) {
        reportSkipped(entry.name, "link target " + target + " lies outside the destination");
    }
}

void CheckingReader::reportSkipped(const std::string&, const std::string& reason) {
    skipped_ = reason;
}

std::unique_ptr<vessel5::FormatReader> CheckingArchive::createReader(std::int32_t format) {
    if (format == vessel5::kZipFormat) {
        return std::make_unique<CheckingReader>(settings().startOffset, *this, report_);
    }
    return vessel5::Archive::createReader(format);
}

}  // namespace zip
}  // namespace format
