#include "format/zip/LocalHeader.h"

#include "archive/Exception.h"
#include "format/LittleEndianInput.h"
#include "format/LittleEndianOutput.h"

namespace format {
namespace zip {

void LocalHeader::read(stream::InputStream& input, bool check) {
    LittleEndianInput in(input);
    readSignature(in, signature, kSignature, check,
                  "bad header artfact in format::zip::LocalHeader::read()");
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
    in.getBytes(name, nameLength);
    in.getBytes(extra, extraLength);
}

void LocalHeader::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    out.put16(versionNeeded);
    out.put16(flags);
    out.put16(method);
    out.put16(time);
    out.put16(date);
    out.put32(crc);
    out.put32(compressedSize);
    out.put32(uncompressedSize);
    if (name.size() > kMaxFieldLength) {
        throw format::Exception("file name is too long in format::zip::LocalHeader::write()");
    }
    out.put16(static_cast<std::uint16_t>(name.size()));
    if (extra.size() > kMaxFieldLength) {
        throw format::Exception("extra data is too long in format::zip::LocalHeader::write()");
    }
    out.put16(static_cast<std::uint16_t>(extra.size()));
    out.putBytes(name);
    out.putBytes(extra);
}

}  // namespace zip
}  // namespace format
