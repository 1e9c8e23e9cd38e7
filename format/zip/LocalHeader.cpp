#include "format/zip/LocalHeader.h"

#include "format/LittleEndianInput.h"
#include "format/zip/CommonFields.h"

namespace format {
namespace zip {

void LocalHeader::read(stream::InputStream& input, bool check) {
    LittleEndianInput in(input);
    readSignature(in, signature, kSignature, check,
                  "bad header artfact in format::zip::LocalHeader::read()");
    CommonLengths lengths = readCommonFields(in, *this);
    in.getBytes(name, lengths.name);
    in.getBytes(extra, lengths.extra);
}

}  // namespace zip
}  // namespace format
