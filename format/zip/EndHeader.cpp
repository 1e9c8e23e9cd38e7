#include "format/zip/EndHeader.h"

#include <cstring>
#include <vector>

#include "format/LittleEndianInput.h"

namespace format {
namespace zip {

void EndHeader::read(stream::InputStream& input, bool check) {
    LittleEndianInput in(input);
    readSignature(in, signature, kSignature, check,
                  "bad header artfact in format::zip::EndHeader::read()");
    diskNumber = in.get16();
    centralDisk = in.get16();
    diskEntries = in.get16();
    totalEntries = in.get16();
    centralSize = in.get32();
    centralOffset = in.get32();
    std::uint16_t commentLength = in.get16();
    in.getBytes(comment, commentLength);
}

std::uint64_t EndHeader::locate(stream::RandomInput& input) {
    const std::uint64_t size = input.size();
    if (size == stream::ALL || size < kFixedSize) {
        return kNotFound;
    }
    input.seek(size - kFixedSize);
    read(input, false);
    if (isValid()) {
        return size - kFixedSize;
    }
    const std::uint64_t window = size < kSearchWindow ? size : kSearchWindow;
    input.seek(size - window);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(window));
    // A short read leaves zeros, which never match the signature.
    std::uint32_t got = input.read(buffer.data(), static_cast<std::uint32_t>(window));
    (void)got;
    // The nearest signature wins, unless it is only text inside a comment: a candidate whose
    // comment length reaches exactly to the end of the input is a real end record, so an earlier
    // such candidate is preferred to a nearer one that does not fit. When none fits (a signature
    // appended after the archive, say), the nearest is taken.
    std::uint64_t nearest = kNotFound;
    for (std::uint64_t p = window - kFixedSize + 1; p-- > 0;) {
        if (std::memcmp(buffer.data() + p, kSignature.data(), kSignature.size()) != 0) {
            continue;
        }
        if (nearest == kNotFound) {
            nearest = p;
        }
        const std::uint64_t commentLength =
            buffer[static_cast<std::size_t>(p) + 20] |
            (static_cast<std::uint64_t>(buffer[static_cast<std::size_t>(p) + 21]) << 8);
        if (p + kFixedSize + commentLength == window) {
            return size - window + p;
        }
    }
    return nearest == kNotFound ? kNotFound : size - window + nearest;
}

}  // namespace zip
}  // namespace format
