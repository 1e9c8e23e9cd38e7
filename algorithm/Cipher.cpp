#include "algorithm/Cipher.h"

#include "base/Exception.h"

namespace algorithm {

void BufferTransform::process(std::uint8_t*, std::uint32_t) {}

void Cipher::process(std::uint8_t*, std::uint32_t) {
    throw Exception("use encrypt() or decrypt() instead of algorithm::Cipher::process()");
}

void Cipher::encrypt(std::uint8_t*, std::uint32_t) {}

void Cipher::decrypt(std::uint8_t*, std::uint32_t) {}

}  // namespace algorithm
