// Writes a Zip archive of files and folders that the stub can extract: deflated, LZMA or stored
// entries (a file that does not shrink is stored), encrypted with WinZip AES-256 (AE-2) or the
// traditional cipher when asked, folder entries, DOS times and the exact modification time
// (extended timestamp), no data descriptors, offsets counted from the archive's first byte. Zip64
// records are written only where a value needs them (files of 4 GiB and more, offsets past 4 GiB,
// more than 65,534 entries), so that older extractors still read small archives. Large files are
// streamed, never held in memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "algorithm/Cipher.h"
#include "format/zip/CentralHeader.h"
#include "tools/zipsfx/Compressor.h"
#include "tools/zipsfx/FileStamp.h"
#include "tools/zipsfx/ZipSources.h"

namespace tools {

// The largest values the classic records hold; beyond them (0xFFFFFFFF and 0xFFFF themselves
// mark a Zip64 value) the Zip64 records take over.
constexpr std::uint64_t kMaxClassicEntries = 0xFFFE;
constexpr std::uint64_t kMaxClassicValue = 0xFFFFFFFEull;

enum class Encryption { None, Aes256, ZipCrypto };

class ZipWriter {
  public:
    // Asked between blocks of data; true stops the writer with brindle5::exception::Evacuation.
    using CancelCheck = std::function<bool()>;
    // Told the entry at hand and the bytes of it read so far, at its start and after each block.
    using Progress = std::function<void(const ZipSource& source, std::uint64_t done)>;

    // Writes at the stream's current position, which becomes the archive's offset 0.
    ZipWriter(std::iostream& out, int level, std::ostream* verbose,
              CancelCheck cancelled = CancelCheck());

    // Encrypts the files added from now on with password (its UTF-8 bytes); folders carry no
    // data and stay as they are. Each AES entry gets a fresh salt, each traditional header fresh
    // random bytes, from the system's random source.
    void encryptWith(Encryption encryption, const std::string& password);
    ~ZipWriter();

    // Deflate unless told otherwise; level is then that method's level.
    void setMethod(Method method) { method_ = method; }
    void onProgress(Progress progress) { progress_ = std::move(progress); }

    void add(const ZipSource& source);
    // Writes the central directory and the end record.
    void finish();
    // Where the archive ends in the stream; bytes past it are left over from re-stored entries
    // and must be cut off.
    std::uint64_t end() const { return end_; }

    const std::vector<format::zip::CentralHeader>& entries() const { return central_; }

  private:
    void addFile(const ZipSource& source, format::zip::CentralHeader& header);
    std::uint64_t compressFile(const ZipSource& source, Compressor& compressor, std::uint32_t& crc,
                               std::uint64_t& size);
    void writeEndRecords(std::uint64_t centralAt, std::uint64_t centralEnd);
    std::uint64_t storeFile(const ZipSource& source, std::uint32_t& crc);
    std::uint32_t crcOfFile(const ZipSource& source);
    void writeAt(std::uint64_t position, const std::vector<std::uint8_t>& bytes);
    void writeBytes(const void* data, std::size_t length);
    // Writes file data, encrypted when the entry is.
    void writeData(const std::uint8_t* data, std::size_t length);
    // Writes what goes before the encrypted data (salt and verifier, or the 12-byte header) and
    // sets up the entry's cipher; returns its size. checkByte: the CRC-32's high byte.
    std::uint64_t beginEncryption(std::uint8_t checkByte);
    // Writes what goes after the data (the AES authentication code); returns its size.
    std::uint64_t endEncryption();
    std::uint64_t position();
    void checkCancel() const;

    std::iostream& out_;
    int level_;
    std::ostream* verbose_;
    CancelCheck cancelled_;
    Method method_ = Method::Deflate;
    Progress progress_;
    std::uint64_t base_;
    std::uint64_t end_;
    std::vector<format::zip::CentralHeader> central_;
    // The entry at hand: its sizes, and whether its local header holds a Zip64 field.
    std::uint64_t uncompressed_ = 0;
    std::uint64_t compressed_ = 0;
    bool wideLocal_ = false;
    Encryption encryption_ = Encryption::None;
    std::string password_;
    // The entry's cipher while its data is written, and the AES field it carries.
    std::unique_ptr<algorithm::Cipher> cipher_;
    std::string aesExtra_;
    std::vector<std::uint8_t> encrypted_;
};

}  // namespace tools
