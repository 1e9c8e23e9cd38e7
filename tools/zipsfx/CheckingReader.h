// `zipsfx test`: a Zip reader that decodes every entry and checks its CRC-32 like an
// extraction, but writes nothing: the data goes to a counting sink. A failing entry is
// reported and the next one checked; only a cancel stops the run.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "archive/Archive.h"
#include "format/zip/ZipReader.h"

namespace tools {

// Told about each entry once it is checked: its stored name and, for a failure, the text of
// the exception (empty when the entry is sound).
using CheckReport = std::function<void(const std::string& name, const std::string& failure)>;

class CheckingReader : public format::zip::ZipReader {
  public:
    CheckingReader(std::uint32_t startOffset, vessel5::Archive& archive, CheckReport report)
        : format::zip::ZipReader(startOffset, archive), report_(std::move(report)) {}

  protected:
    void extractEntry(stream::RandomInput& input, const format::zip::PendingEntry& entry) override;
    void extractFolder(const format::zip::LocalHeader& local) override;
    void extractFile(stream::RandomInput& input, const format::zip::PendingEntry& entry,
                     const format::zip::LocalHeader& local) override;

  private:
    CheckReport report_;
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

}  // namespace tools
