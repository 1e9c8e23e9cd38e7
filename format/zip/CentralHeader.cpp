#include "format/zip/CentralHeader.h"

#include "base/Exception.h"
#include "format/LittleEndianInput.h"
#include "format/LittleEndianOutput.h"
#include "format/zip/CommonFields.h"
#include "format/zip/LocalHeader.h"

namespace format {
namespace zip {

void CentralHeader::read(stream::InputStream& input, bool check) {
    LittleEndianInput in(input);
    readSignature(in, signature, kSignature, check,
                  "bad header artfact in format::zip::CentralHeader::read()");
    versionMadeBy = in.get16();
    CommonLengths lengths = readCommonFields(in, *this);
    std::uint16_t commentLength = in.get16();
    diskNumberStart = in.get16();
    internalAttributes = in.get16();
    externalAttributes = in.get32();
    localHeaderOffset = in.get32();
    in.getBytes(name, lengths.name);
    in.getBytes(extra, lengths.extra);
    in.getBytes(comment, commentLength);
}

void CentralHeader::writeCommon(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    writeCommonFields(out, *this,
                      "file name is too long in format::zip::CentralHeader::writeCommon()",
                      "extra field is too long in format::zip::CentralHeader::writeCommon()");
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
