#include "format/zip/EndHeader.h"

#include <cstring>
#include <vector>

#include "archive/Exception.h"
#include "format/LittleEndianInput.h"
#include "format/LittleEndianOutput.h"

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

void EndHeader::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    out.put16(diskNumber);
    out.put16(centralDisk);
    out.put16(diskEntries);
    out.put16(totalEntries);
    out.put32(centralSize);
    out.put32(centralOffset);
    if (comment.size() > kMaxFieldLength) {
        throw format::Exception("file comment is too long in format::zip::CentralHeader::write()");
    }
    out.put16(static_cast<std::uint16_t>(comment.size()));
    out.putBytes(comment);
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
    for (std::uint64_t p = window - kFixedSize + 1; p-- > 0;) {
        if (std::memcmp(buffer.data() + p, kSignature.data(), kSignature.size()) == 0) {
            return size - window + p;
        }
    }
    return kNotFound;
}

}  // namespace zip
}  // namespace format
