#include "format/zip/EntryChecks.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/Decimal.h"
#include "base/Exception.h"
#include "format/zip/ExtraFields.h"

namespace format {
namespace zip {

void checkNoOverlap(const std::vector<PendingEntry>& entries,
                    const std::vector<LocalEntry>& locals) {
    std::vector<std::size_t> order(locals.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(), [&locals](std::size_t a, std::size_t b) {
        return locals[a].headerStart < locals[b].headerStart;
    });
    // Every extent is at least a local header long, so sorted by their starts, disjoint extents
    // each end before the next one starts.
    for (std::size_t i = 1; i < order.size(); ++i) {
        const LocalEntry& before = locals[order[i - 1]];
        const LocalEntry& after = locals[order[i]];
        if (after.headerStart < before.dataEnd) {
            throw brindle5::exception::BadFormat(
                "overlapping entries in zip reader: " + entries[order[i]].name + " at offset " +
                generic::decimal(entries[order[i]].localHeaderOffset) + " lies inside " +
                entries[order[i - 1]].name + " at offset " +
                generic::decimal(entries[order[i - 1]].localHeaderOffset));
        }
    }
}

namespace {

constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
// Bits 1 and 2 choose the dictionary size and the number of trees of an imploded entry.
constexpr std::uint16_t kFlagImplodeOptions = 0x0006;
constexpr std::uint8_t kMethodImploded = 6;

[[noreturn]] void throwDisagreement(const PendingEntry& entry, const char* what,
                                    std::uint64_t local, std::uint64_t central) {
    throw brindle5::exception::BadFormat(
        "the local header of " + entry.name + " disagrees with the central directory in zip " +
        "reader: " + what + " " + generic::decimal(local) + " instead of " +
        generic::decimal(central) + "; nothing was extracted");
}

}  // namespace

void checkLocalMatchesCentral(const LocalHeader& local, const EntryValues& values,
                              const PendingEntry& entry) {
    if (local.name != entry.storedName) {
        throw brindle5::exception::BadFormat(
            "local header names another entry than the central directory in zip reader: " +
            local.name + " instead of " + entry.name);
    }
    if (values.method != entry.method) {
        throwDisagreement(entry, "method", values.method, entry.method);
    }
    std::uint16_t decisive = kFlagEncrypted | kFlagDataDescriptor | kFlagStrongEncryption;
    if (entry.method == kMethodImploded) {
        decisive |= kFlagImplodeOptions;
    }
    if ((values.flags & decisive) != (entry.flags & decisive)) {
        throwDisagreement(entry, "flags", values.flags & decisive, entry.flags & decisive);
    }
    if (values.flags & kFlagDataDescriptor) {
        return;  // the values are the central record's already
    }
    if (values.crc != entry.crc) {
        throwDisagreement(entry, "CRC-32", values.crc, entry.crc);
    }
    if (values.compressedSize != entry.compressedSize) {
        throwDisagreement(entry, "compressed size", values.compressedSize, entry.compressedSize);
    }
    if (values.uncompressedSize != entry.uncompressedSize) {
        throwDisagreement(entry, "size", values.uncompressedSize, entry.uncompressedSize);
    }
}

void checkLocalAesMatchesCentral(const EntryValues& values, const PendingEntry& entry) {
    if (entry.method != kAesMethod) {
        return;
    }
    if (values.aesStrength != entry.aesStrength) {
        throwDisagreement(entry, "AES key strength", values.aesStrength, entry.aesStrength);
    }
    if (values.method != entry.innerMethod) {
        throwDisagreement(entry, "method inside the AES encryption", values.method,
                          entry.innerMethod);
    }
}

void SizeLimitedOutput::take(std::uint64_t count) {
    if (count > limit_ - written_) {
        throw brindle5::exception::BadData(
            "size mismatch in zip reader: the data is longer than the declared " +
            generic::decimal(limit_) + " bytes; data is invalid");
    }
    written_ += count;
}

void SizeLimitedOutput::put(std::uint8_t byte) {
    take(1);
    next().put(byte);
}

void SizeLimitedOutput::write(const void* buffer, std::uint32_t length) {
    take(length);
    next().write(buffer, length);
}

void SizeLimitedOutput::fill(std::uint64_t count, std::uint8_t byte) {
    take(count);
    next().fill(count, byte);
}

// In blocks through write(), so that the limit sees every byte.
std::uint64_t SizeLimitedOutput::copyFrom(stream::InputStream& input, std::uint64_t count) {
    std::vector<std::uint8_t> block(0x10000);
    std::uint64_t moved = 0;
    while (moved < count) {
        const std::uint64_t left = count - moved;
        const std::uint32_t wanted = left < block.size() ? static_cast<std::uint32_t>(left)
                                                         : static_cast<std::uint32_t>(block.size());
        const std::uint32_t got = input.read(block.data(), wanted);
        if (got == 0) {
            break;
        }
        write(block.data(), got);
        moved += got;
    }
    return moved;
}

void SizeLimitedOutput::finish() const {
    if (written_ != limit_) {
        throw brindle5::exception::BadData("size mismatch in zip reader: the data ends after " +
                                           generic::decimal(written_) + " of the declared " +
                                           generic::decimal(limit_) + " bytes; data is invalid");
    }
}

}  // namespace zip
}  // namespace format
