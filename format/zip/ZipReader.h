// The format reader for Zip archives: finds the end record (and the Zip64 end record when there is
// one) and the central directory, describes the archive (scan), checks the whole central
// directory and then extracts its entries one by one (decodeStream).
//
// Offsets stored in an archive count either from the archive's own start or, in a self-extracting
// file made by adjusting them, from the start of the file. The convention is decided once per
// archive, by scan: where the central directory really lies (right before the end records) less
// the offset stored for it gives the base, as other readers compute it; the start of the archive
// and the start of the file are the fallbacks. A base is taken only when a whole central record
// and the first entry's whole local header signature are found where it puts them. Every entry,
// and list, test and extract alike, then use that one base.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archive/FormatReader.h"
#include "format/zip/CentralHeader.h"
#include "format/zip/EndHeader.h"
#include "format/zip/EntryDecryption.h"
#include "format/zip/LocalHeader.h"
#include "format/zip/LocalHeaders.h"
#include "format/zip/PendingEntry.h"

namespace stream {
class FileOutput;
}

namespace format {
namespace zip {

class ParallelExtraction;

// The newest "version needed to extract" the reader accepts for any method: 4.5, Zip64 itself; a
// method of a later version (BZip2 4.6, LZMA 6.3) may declare its own (newestVersionNeeded).
constexpr std::uint16_t kNewestVersionNeeded = 45;
// WinZip AES entries need 5.1.
constexpr std::uint16_t kNewestVersionNeededAes = 51;

// The newest version needed that the reader accepts for the entry: its method's
// (newestVersionNeeded of the method), and for an AES entry that of the method inside the
// encryption, at least 5.1.
std::uint16_t newestVersionNeeded(const PendingEntry& entry);
// The method that decodes the entry's data: for an AES entry the one inside the encryption.
inline std::uint16_t dataMethod(const PendingEntry& entry) {
    return entry.method == 99 ? entry.innerMethod : entry.method;
}

// Decodes one entry's data, which starts at the input's position (past the encryption header
// when `decryption` is given), into output and compares its CRC-32 (and, for AES, the
// authentication code). The decoder relays its progress to `relay`'s handlers, counting on from
// `produced`, which grows by the bytes written. `threads` is the run's thread count.
void decodeEntryData(vessel5::Archive& relay, stream::RandomInput& input,
                     stream::OutputStream& output, const EntryValues& values,
                     std::unique_ptr<EntryDecryption> decryption, std::uint64_t& produced,
                     unsigned threads);

class ZipReader : public vessel5::FormatReader {
  public:
    static constexpr std::uint64_t kNotFound = ~std::uint64_t(0);
    // How often the output helpers may try another name before giving up.
    static constexpr unsigned kCreateAttempts = 256;
    // The longest link target taken: longer data is no path.
    static constexpr std::uint64_t kMaxLinkTarget = 4096;
    // How many passwords the user is asked for before an entry fails.
    static constexpr unsigned kPasswordTries = 3;

    ZipReader(std::uint32_t startOffset, vessel5::Archive& archive);
    // Overwrites the passwords it kept.
    ~ZipReader() override;

    // Reads the whole central directory, fills the archive's entry count, totals and archive
    // name, and decides where offsets count from. Must run before decodeStream.
    void scan(stream::RandomInput& input) override;
    // Checks every entry's method and version, then extracts every entry.
    void decodeStream(stream::RandomInput& input) override;
    void decodeFile(stream::RandomInput& input) override { decodeStream(input); }

    // The central record read last, as stored (32-bit fields).
    const CentralHeader& centralHeader() const { return central_; }
    // The entries scan found, in central directory order.
    const std::vector<PendingEntry>& entries() const { return entries_; }
    // Hands the entries over to a caller that only lists them: the reader keeps none, so that
    // their names are held once.
    std::vector<PendingEntry> takeEntries() { return std::move(entries_); }
    std::uint64_t endPosition() const { return endPosition_; }
    std::uint64_t centralPosition() const { return centralPosition_; }
    // What stored offsets are added to; decided by scan.
    std::uint64_t base() const { return base_; }
    bool isZip64() const { return zip64_; }

  protected:
    // One pending entry, with what the pass over the local headers found for it: its folder,
    // file or link, whose data starts at local.dataStart. A folder whose name names the
    // destination itself ("./") is passed over; a link whose target is longer than
    // kMaxLinkTarget is skipped.
    virtual void extractEntry(stream::RandomInput& input, const PendingEntry& entry,
                              const LocalEntry& local);
    virtual void extractFolder(const PendingEntry& entry);
    virtual void extractFile(stream::RandomInput& input, const PendingEntry& entry,
                             const EntryValues& values);
    // A link is decoded into memory and its folder made; the link is created at the end of the
    // run, once no other entry can be written through it.
    virtual void extractLink(stream::RandomInput& input, const PendingEntry& entry,
                             const EntryValues& values);
    // Creates the links collected by extractLink, one after the other, each only when its target
    // stays inside the destination as the folders really are at that moment: every place the
    // target passes through must be a real folder then (not a link, not missing), so that no
    // later link can change where it leads.
    virtual void finishLinks();
    // Decrypts and decodes the entry's data, which starts at the input's position, into output
    // and compares its CRC-32 (and, for AES, the authentication code).
    void decodeData(stream::RandomInput& input, stream::OutputStream& output,
                    const EntryValues& values);
    // decodeData into a created file, then its time; a failure closes the file and, unless a
    // handler of the failure list objects, deletes it.
    void decodeEntry(stream::RandomInput& input, stream::FileOutput& output,
                     const PendingEntry& entry, const EntryValues& values);
    // The link's target, decoded from its data (at most kMaxLinkTarget bytes: extractEntry has
    // skipped longer ones).
    std::string decodeLinkTarget(stream::RandomInput& input, const EntryValues& values);
    // Finds a password that fits the encrypted entry whose data starts at the input's position:
    // the one that fitted last (or was given), the empty one, then what the handlers of the
    // password list give, kPasswordTries times. Throws brindle5::exception::Password when none
    // fits or none is given. Leaves the input after the entry's encryption header.
    std::unique_ptr<EntryDecryption> unlock(stream::RandomInput& input, const EntryValues& values);
    // Tells the skip handlers about an entry that is not written, with the reason.
    virtual void reportSkipped(const std::string& name, const std::string& reason);
    // How many threads extract the entries: the archive's setting.
    virtual unsigned workerThreads();

  private:
    friend class ParallelExtraction;

    struct PendingLink {
        std::string name;
        std::string target;
    };

    void locateEndRecords(stream::RandomInput& input);
    void decideBase(stream::RandomInput& input);
    bool centralRecordAt(stream::RandomInput& input, std::uint64_t position, PendingEntry& first);
    bool localSignatureAt(stream::RandomInput& input, std::uint64_t position);
    void readCentralDirectory(stream::RandomInput& input);
    // Refuses an AES entry whose extra field is missing or names no known key strength.
    void checkAesEntry(const PendingEntry& entry);
    // The password is settled on the first encrypted file before anything is written.
    void unlockFirstEncrypted(stream::RandomInput& input);
    PendingEntry readCentralRecord(stream::InputStream& input);
    void setModificationTime(stream::FileOutput& output, const PendingEntry& entry,
                             const EntryValues& values);

    CentralHeader central_;
    EndHeader end_;
    std::vector<PendingEntry> entries_;
    // What the pass over the local headers found, one per entry of entries_.
    std::vector<LocalEntry> locals_;
    std::vector<PendingLink> links_;
    // The entry being extracted, and its decryption when extractFile set it up before creating
    // the file (decodeData takes it).
    const PendingEntry* current_ = nullptr;
    std::unique_ptr<EntryDecryption> unlocked_;
    // Set while entries are extracted by several threads: extractFile hands each file to it.
    ParallelExtraction* parallel_ = nullptr;
    // The passwords the user gave that fitted an entry: tried on the later entries too.
    std::vector<std::string> fitted_;
    std::uint64_t endPosition_ = 0;
    // Where the records that end the central directory begin: the Zip64 end record, else the end
    // record.
    std::uint64_t directoryEnd_ = 0;
    std::uint64_t centralPosition_ = 0;
    std::uint64_t base_ = 0;
    std::uint64_t entryCount_ = 0;
    std::uint64_t centralSize_ = 0;
    std::uint64_t centralOffset_ = 0;
    bool zip64_ = false;
};

}  // namespace zip
}  // namespace format
