#include "tools/zipsfx/CheckingReader.h"

#include "base/Exception.h"
#include "stream/Stream.h"

namespace tools {

namespace {

// Takes every byte and keeps only the count.
class CountingOutput : public stream::OutputStream {
  public:
    void put(std::uint8_t) override { ++count_; }
    void write(const void*, std::uint32_t length) override { count_ += length; }
    std::uint64_t tell() override { return count_; }

  private:
    std::uint64_t count_ = 0;
};

}  // namespace

void CheckingReader::extractEntry(stream::RandomInput& input,
                                  const format::zip::PendingEntry& entry) {
    try {
        format::zip::ZipReader::extractEntry(input, entry);
    } catch (const brindle5::exception::Evacuation&) {
        throw;
    } catch (const generic::exception& e) {
        report_(entry.name, generic::describe(e));
        return;
    }
    report_(entry.name, std::string());
}

void CheckingReader::extractFolder(const format::zip::LocalHeader&) {
    // A folder has no data; its local header was read and checked already.
}

void CheckingReader::extractFile(stream::RandomInput& input, const format::zip::PendingEntry&,
                                 const format::zip::LocalHeader& local) {
    CountingOutput sink;
    decodeData(input, sink, local);
}

std::unique_ptr<vessel5::FormatReader> CheckingArchive::createReader(std::int32_t format) {
    if (format == vessel5::kZipFormat) {
        return std::make_unique<CheckingReader>(settings().startOffset, *this, report_);
    }
    return vessel5::Archive::createReader(format);
}

}  // namespace tools
