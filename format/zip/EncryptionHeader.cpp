#include "format/zip/EncryptionHeader.h"

#include "algorithm/Cipher.h"
#include "base/Exception.h"
#include "algorithm/CipherInput.h"

namespace format {
namespace zip {

bool EncryptionHeader::isValid() const {
    return !hasExpect_ || bytes_[kSize - 1] == expect_;
}

void EncryptionHeader::read(stream::InputStream& input, bool check) {
    stream::CipherInput decrypting(input, cipher_);
    decrypting.read(bytes_.data(), kSize);
    if (check && !isValid()) {
        throw format::Exception("bad password in format::zip::EncryptionHeader::read()");
    }
}

}  // namespace zip
}  // namespace format
