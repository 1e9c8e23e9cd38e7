#include "sfx/CertificateTable.h"

namespace app {
namespace {

constexpr std::uint32_t kHeaderPointer = 0x3C;
constexpr std::uint32_t kCoffSize = 20;
constexpr std::uint16_t kPe32 = 0x10B;
constexpr std::uint16_t kPe32Plus = 0x20B;
constexpr std::uint32_t kSecurityDirectory = 4;

std::uint32_t get16(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8);
}

std::uint32_t get32(const std::uint8_t* p) {
    return get16(p) | (get16(p + 2) << 16);
}

bool fits(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

}  // namespace

CertificateTable findCertificateTable(const std::uint8_t* view, std::uint64_t size,
                                      std::uint64_t fileSize) {
    CertificateTable table;
    if (view == nullptr || !fits(0, 0x40, size) || view[0] != 'M' || view[1] != 'Z') {
        return table;
    }
    const std::uint64_t pe = get32(view + kHeaderPointer);
    if (!fits(pe, 4 + kCoffSize + 2, size) || get32(view + pe) != 0x00004550u) {
        return table;
    }
    const std::uint64_t optional = pe + 4 + kCoffSize;
    const std::uint32_t optionalSize = get16(view + pe + 4 + 16);
    const std::uint32_t magic = get16(view + optional);
    // Where the directory count and the directories sit in each flavour of optional header.
    std::uint32_t countAt = 0;
    if (magic == kPe32) {
        countAt = 92;
    } else if (magic == kPe32Plus) {
        countAt = 108;
    } else {
        return table;
    }
    const std::uint32_t entryAt = countAt + 4 + kSecurityDirectory * 8;
    if (optionalSize < entryAt + 8 || !fits(optional, entryAt + 8, size) ||
        get32(view + optional + countAt) <= kSecurityDirectory) {
        return table;
    }
    const std::uint64_t address = get32(view + optional + entryAt);
    const std::uint64_t length = get32(view + optional + entryAt + 4);
    if (address == 0 || length == 0 || !fits(address, 0, fileSize)) {
        return table;
    }
    table.present = true;
    table.offset = address;
    table.size = length;
    return table;
}

}  // namespace app
