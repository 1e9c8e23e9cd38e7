#include "format/zip/EntryChecks.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/Decimal.h"
#include "base/Exception.h"

namespace format {
namespace zip {

void checkNoOverlap(const std::vector<PendingEntry>& entries) {
    struct Extent {
        std::uint64_t start;
        std::uint64_t end;
    };
    std::vector<Extent> extents;
    extents.reserve(entries.size());
    for (const PendingEntry& entry : entries) {
        const std::uint64_t start = entry.localHeaderOffset;
        extents.push_back(Extent{start, start + LocalHeader::kFixedSize + entry.storedName.size() +
                                            entry.compressedSize});
    }
    std::sort(extents.begin(), extents.end(),
              [](const Extent& a, const Extent& b) { return a.start < b.start; });
    for (std::size_t i = 1; i < extents.size(); ++i) {
        if (extents[i].start < extents[i - 1].end) {
            throw brindle5::exception::BadFormat(
                "overlapping entries in zip reader: an entry at offset " +
                generic::decimal(extents[i].start) + " lies inside the entry at offset " +
                generic::decimal(extents[i - 1].start));
        }
    }
}

void checkLocalMatchesCentral(const LocalHeader& local, const PendingEntry& entry) {
    if (local.name != entry.storedName) {
        throw brindle5::exception::BadFormat(
            "local header names another entry than the central directory in zip reader: " +
            local.name + " instead of " + entry.name);
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
