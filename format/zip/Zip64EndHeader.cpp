#include "format/zip/Zip64EndHeader.h"

#include "format/LittleEndianInput.h"
#include "format/LittleEndianOutput.h"

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

void Zip64EndHeader::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    out.put64(recordSize);
    out.put16(versionMadeBy);
    out.put16(versionNeeded);
    out.put32(diskNumber);
    out.put32(centralDisk);
    out.put64(diskEntries);
    out.put64(totalEntries);
    out.put64(centralSize);
    out.put64(centralOffset);
}

void Zip64Locator::read(stream::InputStream& input, bool check) {
    LittleEndianInput in(input);
    readSignature(in, signature, kSignature, check, "bad Zip64 end of central directory locator");
    endDisk = in.get32();
    endOffset = get64(in);
    totalDisks = in.get32();
}

void Zip64Locator::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    out.put32(endDisk);
    out.put64(endOffset);
    out.put32(totalDisks);
}

}  // namespace zip
}  // namespace format
