#include "format/zip/EncryptionHeader.h"

#include "algorithm/Cipher.h"
#include "algorithm/Random.h"
#include "algorithm/TickSeed.h"
#include "base/Exception.h"
#include "algorithm/CipherInput.h"
#include "algorithm/CipherOutput.h"

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

void EncryptionHeader::write(stream::OutputStream& output) {
    stream::CipherOutput encrypting(output, cipher_);
    algorithm::TickSeed clock;
    algorithm::Random random(clock.ticks());
    for (std::size_t i = 0; i + 1 < kSize; ++i) {
        bytes_[i] = static_cast<std::uint8_t>(random.nextInt() & 0xFF);
    }
    if (!hasExpect_) {
        throw format::Exception(
            "must have an expect value in format::zip::EncryptionHeader::write()");
    }
    bytes_[kSize - 1] = expect_;
    encrypting.write(bytes_.data(), kSize);
}

}  // namespace zip
}  // namespace format
