// Testing an archive (`zipsfx test`, the stub's -t): a Zip reader that decodes every entry and
// checks its CRC-32 like an extraction, but writes nothing: the data goes to a counting sink. Names
// and link targets are judged by the same rules as an extraction, so what it passes the stub
// extracts. A failing entry is reported and the next one checked; only a cancel stops the run.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "format/zip/ZipReader.h"

namespace format {
namespace zip {

enum class CheckResult { Sound, Skipped, Failed };

// Told about each entry once it is checked: its stored name, the result and, unless sound, why.
using CheckReport =
    std::function<void(const std::string& name, CheckResult result, const std::string& reason)>;

class CheckingReader : public ZipReader {
  public:
    CheckingReader(std::uint32_t startOffset, vessel5::Archive& archive, CheckReport report)
        : ZipReader(startOffset, archive), report_(std::move(report)) {}

    // Nothing is written: the destination's free space does not matter.
    void checkRoom(std::uint64_t) override {}

  protected:
    void extractEntry(stream::RandomInput& input, const PendingEntry& entry,
                      const LocalEntry& local) override;
    void extractFolder(const PendingEntry& entry) override;
    void extractFile(stream::RandomInput& input, const PendingEntry& entry,
                     const EntryValues& values) override;
    // Judges the target from the link's stored place as an extraction into an empty destination
    // would: every place it passes through must be a folder that the archive makes.
    void extractLink(stream::RandomInput& input, const PendingEntry& entry,
                     const EntryValues& values) override;
    void finishLinks() override {}
    void reportSkipped(const std::string& name, const std::string& reason) override;
    // Checking reports every entry as it goes, on the calling thread.
    unsigned workerThreads() override { return 1; }

  private:
    using Place = std::vector<std::string>;
    // The folders an extraction into an empty folder makes (folder entries and the folders of
    // every entry) and the places of the links; found at the first link.
    void findPlaces();

    CheckReport report_;
    std::string skipped_;
    bool placesFound_ = false;
    std::set<Place> folders_;
    std::set<Place> links_;
};

// An archive object whose Zip reader is a CheckingReader.
class CheckingArchive : public vessel5::Archive {
  public:
    explicit CheckingArchive(CheckReport report) : report_(std::move(report)) {}

  protected:
    std::unique_ptr<vessel5::FormatReader> createReader(std::int32_t format) override;

  private:
    CheckReport report_;
};

}  // namespace zip
}  // namespace format
