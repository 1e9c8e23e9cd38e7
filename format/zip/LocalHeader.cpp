#include "format/zip/LocalHeader.h"

#include "base/Exception.h"
#include "format/LittleEndianInput.h"
#include "format/LittleEndianOutput.h"
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

void LocalHeader::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    writeCommonFields(out, *this, "file name is too long in format::zip::LocalHeader::write()",
                      "extra data is too long in format::zip::LocalHeader::write()");
    out.putBytes(name);
    out.putBytes(extra);
}

}  // namespace zip
}  // namespace format
