#include "format/zip/Header.h"

#include "base/Exception.h"

namespace format {
namespace zip {

void Header::readSignature(stream::InputStream& input, Signature& signature,
                           const Signature& expected, bool check, const char* message) {
    for (auto& byte : signature) {
        byte = static_cast<std::uint8_t>(input.get());
    }
    if (check && signature != expected) {
        throw format::Exception(message);
    }
}

}  // namespace zip
}  // namespace format
