#include "format/zip/Zip64EndHeader.h"

#include "format/LittleEndianInput.h"

namespace format {
namespace zip {

namespace {

std::uint64_t get64(LittleEndianInput& in) {
    const std::uint64_t low = in.get32();
    return low | (std::uint64_t(in.get32()) << 32);
}

}  // namespace

void Zip64EndHeader::read(stream::InputStream& input, bool check) {
    LittleEndianInput in(input);
    readSignature(in, signature, kSignature, check, "bad Zip64 end of central directory record");
    recordSize = get64(in);
    versionMadeBy = in.get16();
    versionNeeded = in.get16();
    diskNumber = in.get32();
    centralDisk = in.get32();
    diskEntries = get64(in);
    totalEntries = get64(in);
    centralSize = get64(in);
    centralOffset = get64(in);
}

void Zip64Locator::read(stream::InputStream& input, bool check) {
    LittleEndianInput in(input);
    readSignature(in, signature, kSignature, check, "bad Zip64 end of central directory locator");
    endDisk = in.get32();
    endOffset = get64(in);
    totalDisks = in.get32();
}

}  // namespace zip
}  // namespace format
