#include "format/zip/ExtraFields.h"

#include "base/Exception.h"
#include "io/TimeUnits.h"

namespace format {
namespace zip {

namespace {

std::uint64_t little(const std::string& data, std::size_t at, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes; i-- > 0;) {
        value = (value << 8) | static_cast<std::uint8_t>(data[at + i]);
    }
    return value;
}

// Reads the marked values of a Zip64 block one after the other.
class Zip64Cursor {
  public:
    explicit Zip64Cursor(const std::string& data) : data_(data) {}

    template <typename T>
    void widen(T& value, T marker, std::size_t bytes) {
        if (value != marker) {
            return;
        }
        if (at_ + bytes > data_.size()) {
            throw brindle5::exception::BadFormat(
                "a Zip64 value is missing from the extra field in zip reader");
        }
        value = static_cast<T>(little(data_, at_, bytes));
        at_ += bytes;
    }

  private:
    const std::string& data_;
    std::size_t at_ = 0;
};

}  // namespace

bool findExtraBlock(const std::string& extra, std::uint16_t tag, std::string& data) {
    std::size_t at = 0;
    while (at + 4 <= extra.size()) {
        const auto blockTag = static_cast<std::uint16_t>(little(extra, at, 2));
        const auto length = static_cast<std::size_t>(little(extra, at + 2, 2));
        if (at + 4 + length > extra.size()) {
            return false;
        }
        if (blockTag == tag) {
            data = extra.substr(at + 4, length);
            return true;
        }
        at += 4 + length;
    }
    return false;
}

void widenFromZip64(const std::string& extra, bool withLocation, WideValues& values) {
    const bool marked =
        values.uncompressedSize == kZip64Marker32 || values.compressedSize == kZip64Marker32 ||
        (withLocation &&
         (values.localHeaderOffset == kZip64Marker32 || values.diskNumberStart == kZip64Marker16));
    if (!marked) {
        return;
    }
    std::string data;
    if (!findExtraBlock(extra, kZip64ExtraTag, data)) {
        throw brindle5::exception::BadFormat(
            "a record's sizes or offset are marked as Zip64 but it has no Zip64 extra field in "
            "zip reader");
    }
    Zip64Cursor cursor(data);
    cursor.widen<std::uint64_t>(values.uncompressedSize, kZip64Marker32, 8);
    cursor.widen<std::uint64_t>(values.compressedSize, kZip64Marker32, 8);
    if (withLocation) {
        cursor.widen<std::uint64_t>(values.localHeaderOffset, kZip64Marker32, 8);
        cursor.widen<std::uint32_t>(values.diskNumberStart, kZip64Marker16, 4);
    }
}

bool exactModificationTime(const std::string& extra, std::uint64_t& ticks) {
    std::string data;
    if (findExtraBlock(extra, kNtfsExtraTag, data)) {
        // Four reserved bytes, then attributes as tag, size, data; tag 1 holds three times.
        std::size_t at = 4;
        while (at + 4 <= data.size()) {
            const auto tag = little(data, at, 2);
            const auto size = static_cast<std::size_t>(little(data, at + 2, 2));
            if (at + 4 + size > data.size()) {
                break;
            }
            if (tag == 1 && size >= 8) {
                ticks = little(data, at + 4, 8);
                return ticks != 0;
            }
            at += 4 + size;
        }
    }
    if (findExtraBlock(extra, kTimestampExtraTag, data) && data.size() >= 5 &&
        (static_cast<std::uint8_t>(data[0]) & 0x01) != 0) {
        // A signed 32-bit count of seconds: times before 1970 are negative.
        const auto seconds =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(little(data, 1, 4)));
        const std::int64_t since1601 = std::int64_t(seconds) + 11644473600LL;
        if (since1601 < 0) {
            return false;
        }
        ticks = static_cast<std::uint64_t>(since1601) * io::kTicksPerSecond;
        return true;
    }
    return false;
}

bool findAesExtra(const std::string& extra, AesExtra& aes) {
    std::string data;
    if (!findExtraBlock(extra, kAesExtraTag, data) || data.size() < 7 || data[2] != 'A' ||
        data[3] != 'E') {
        return false;
    }
    aes.version = static_cast<std::uint16_t>(little(data, 0, 2));
    aes.strength = static_cast<std::uint8_t>(data[4]);
    aes.method = static_cast<std::uint16_t>(little(data, 5, 2));
    return true;
}

}  // namespace zip
}  // namespace format
