#include "format/zip/CentralHeader.h"

#include "format/LittleEndianInput.h"
#include "format/zip/CommonFields.h"

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

}  // namespace zip
}  // namespace format
