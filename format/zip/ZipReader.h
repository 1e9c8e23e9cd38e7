// The format reader for Zip archives: finds the end record and the central directory, describes
// the archive (scan), checks the whole central directory and then extracts its entries one by
// one (decodeStream). Offsets stored in the archive are taken relative to the archive's start in
// its input first and as absolute positions second, so an archive appended to a program reads
// either way.
#pragma once

#include <cstdint>
#include <string>

#include "archive/FormatReader.h"
#include "format/zip/CentralHeader.h"
#include "format/zip/EndHeader.h"
#include "format/zip/LocalHeader.h"
#include "format/zip/PendingEntry.h"

namespace stream {
class FileOutput;
}

namespace format {
namespace zip {

class ZipReader : public vessel5::FormatReader {
  public:
    static constexpr std::uint64_t kNotFound = ~std::uint64_t(0);
    // How often the output helpers may try another name before giving up.
    static constexpr unsigned kCreateAttempts = 256;

    ZipReader(std::uint32_t startOffset, vessel5::Archive& archive);

    // Fills the archive's entry count, totals and archive name and remembers where the end
    // record and the central directory are. Must run before decodeStream.
    void scan(stream::RandomInput& input) override;
    // Reads and checks the whole central directory, then extracts every entry.
    void decodeStream(stream::RandomInput& input) override;
    void decodeFile(stream::RandomInput& input) override { decodeStream(input); }

    // Position of the central directory in the input, or kNotFound.
    std::uint64_t locateCentral(stream::RandomInput& input);

    const EndHeader& endHeader() const { return end_; }
    // The central record read last.
    const CentralHeader& centralHeader() const { return central_; }
    std::uint32_t endPosition() const { return endPosition_; }
    std::uint64_t centralPosition() const { return centralPosition_; }

  protected:
    // One pending entry: its local header, then its folder or file.
    virtual void extractEntry(stream::RandomInput& input, const PendingEntry& entry);
    // Reads the local header at start + offset, else at offset alone.
    void locateLocal(stream::RandomInput& input, std::uint32_t offset, LocalHeader& local);
    virtual void extractFolder(const LocalHeader& local);
    virtual void extractFile(stream::RandomInput& input, const PendingEntry& entry,
                             const LocalHeader& local);
    // Decrypts and decodes the entry's data, which starts at the input's position, into output
    // and compares its CRC-32 with the local header's.
    void decodeData(stream::RandomInput& input, stream::OutputStream& output,
                    const LocalHeader& local);
    // decodeData into a created file, then its time; a failure closes the file and, unless a
    // handler of the failure list objects, deletes it.
    void decodeEntry(stream::RandomInput& input, stream::FileOutput& output,
                     const LocalHeader& local);

  private:
    void setModificationTime(stream::FileOutput& output, const LocalHeader& local);
    void readCentralRecord(stream::InputStream& input, const char* invalidMessage);

    CentralHeader central_;
    EndHeader end_;
    std::uint32_t endPosition_ = 0;
    std::uint64_t centralPosition_ = 0;
};

}  // namespace zip
}  // namespace format
