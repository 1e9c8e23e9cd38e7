#include "format/zip/CheckingReader.h"

#include "archive/LinkTarget.h"
#include "base/Exception.h"
#include "base/Utf8.h"
#include "stream/CountingOutput.h"
#include "stream/Stream.h"

namespace format {
namespace zip {

namespace {

using stream::CountingOutput;

}  // namespace

void CheckingReader::extractEntry(stream::RandomInput& input, const PendingEntry& entry,
                                  const LocalEntry& local) {
    skipped_.clear();
    try {
        ZipReader::extractEntry(input, entry, local);
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

void CheckingReader::findPlaces() {
    placesFound_ = true;
    for (const PendingEntry& entry : entries()) {
        Place place = outputComponents(entry.name);
        if (place.empty()) {
            continue;
        }
        if (entry.isLink() && !entry.isFolder()) {
            links_.insert(place);
        }
        if (entry.isFolder()) {
            folders_.insert(place);
        }
        for (place.pop_back(); !place.empty(); place.pop_back()) {
            folders_.insert(place);
        }
    }
}

void CheckingReader::extractLink(stream::RandomInput& input, const PendingEntry& entry,
                                 const EntryValues& values) {
    if (!placesFound_) {
        findPlaces();
    }
    const std::string target = decodeLinkTarget(input, values);
    Place place = outputComponents(entry.name);
    place.pop_back();
    Place resolved;
    std::vector<Place> passed;
    std::string problem = vessel5::resolveLinkTarget(place, target, resolved, &passed);
    for (const Place& step : passed) {
        if (!problem.empty()) {
            break;
        }
        // A folder of the archive wins over a link of the same name, which extraction renames.
        if (folders_.count(step) != 0) {
            continue;
        }
        if (links_.count(step) != 0) {
            problem = "passes through another link";
        } else {
            std::string shown;
            for (const std::string& component : step) {
                shown += (shown.empty() ? "" : "/") + component;
            }
            problem = "passes through " + base::printableText(shown) + ", which is no folder";
        }
    }
    if (!problem.empty()) {
        reportSkipped(entry.name, "link target " + base::printableText(target) + " " + problem);
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
