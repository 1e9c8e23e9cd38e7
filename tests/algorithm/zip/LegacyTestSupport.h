// Helpers of the legacy-method tests: a walker over the local headers of a Zip archive (enough
// to reach each entry's compressed bytes without the full reader), the entry-decoder dispatch
// for methods 0 to 6, a CRC-32 to check results, and an LSB-first bit writer for hand-built
// inputs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace legacytest {

struct LocalEntry {
    std::string name;
    unsigned method = 0;
    unsigned flags = 0;
    std::uint32_t crc = 0;
    std::uint64_t uncompressedSize = 0;
    std::vector<std::uint8_t> data;  // the compressed bytes
};

// Every entry from the start of the archive up to the first record that is no local header.
std::vector<LocalEntry> readLocalEntries(const std::vector<std::uint8_t>& archive);

// Runs the method's decoder over data as the entry decoder does; throws what the decoder throws.
std::vector<std::uint8_t> decodeEntry(const LocalEntry& entry,
                                      const std::vector<std::uint8_t>& data);
inline std::vector<std::uint8_t> decodeEntry(const LocalEntry& entry) {
    return decodeEntry(entry, entry.data);
}

// Packs codes least significant bit first, as the Zip bit readers take them.
class BitWriter {
  public:
    BitWriter& put(std::uint32_t value, unsigned bits);
    // Pads the last byte with zero bits.
    std::vector<std::uint8_t> bytes() const;

  private:
    std::vector<std::uint8_t> bytes_;
    unsigned used_ = 0;  // bits used in the last byte
};

}  // namespace legacytest
