#include "format/zip/CentralHeader.h"

#include "archive/Exception.h"
#include "format/LittleEndianInput.h"
#include "format/LittleEndianOutput.h"
#include "format/zip/LocalHeader.h"

namespace format {
namespace zip {

void CentralHeader::read(stream::InputStream& input, bool check) {
    LittleEndianInput in(input);
    readSignature(in, signature, kSignature, check,
                  "bad header artfact in format::zip::CentralHeader::read()");
    versionMadeBy = in.get16();
    versionNeeded = in.get16();
    flags = in.get16();
    method = static_cast<std::uint8_t>(in.get16() & 0xFF);
    time = in.get16();
    date = in.get16();
    crc = in.get32();
    compressedSize = in.get32();
    uncompressedSize = in.get32();
    std::uint16_t nameLength = in.get16();
    std::uint16_t extraLength = in.get16();
    std::uint16_t commentLength = in.get16();
    diskNumberStart = in.get16();
    internalAttributes = in.get16();
    externalAttributes = in.get32();
    localHeaderOffset = in.get32();
    in.getBytes(name, nameLength);
    in.getBytes(extra, extraLength);
    in.getBytes(comment, commentLength);
}

void CentralHeader::writeCommon(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.put16(versionNeeded);
    out.put16(flags);
    out.put16(method);
    out.put16(time);
    out.put16(date);
    out.put32(crc);
    out.put32(compressedSize);
    out.put32(uncompressedSize);
    if (name.size() > kMaxFieldLength) {
        throw format::Exception(
            "file name is too long in format::zip::CentralHeader::writeCommon()");
    }
    out.put16(static_cast<std::uint16_t>(name.size()));
    if (extra.size() > kMaxFieldLength) {
        throw format::Exception(
            "extra field is too long in format::zip::CentralHeader::writeCommon()");
    }
    out.put16(static_cast<std::uint16_t>(extra.size()));
}

void CentralHeader::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    out.put16(versionMadeBy);
    writeCommon(out);
    if (comment.size() > kMaxFieldLength) {
        throw format::Exception("file comment is too long in format::zip::CentralHeader::write()");
    }
    out.put16(static_cast<std::uint16_t>(comment.size()));
    out.put16(diskNumberStart);
    out.put16(internalAttributes);
    out.put32(externalAttributes);
    out.put32(localHeaderOffset);
    out.putBytes(name);
    out.putBytes(extra);
    out.putBytes(comment);
}

void CentralHeader::writeLocal(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(LocalHeader::kSignature.data(), 4);
    writeCommon(out);
    out.putBytes(name);
    out.putBytes(extra);
}

}  // namespace zip
}  // namespace format
