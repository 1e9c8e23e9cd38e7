// The names of the Zip compression methods (from the table of methods, MethodDecoders.h), for
// listings and for the message that refuses a method the reader cannot decode.
#pragma once

#include <cstdint>
#include <string>

namespace format {
namespace zip {

// "Stored", "Deflated", "Deflate64", "BZip2", ...; "Method N" for a number without a name.
std::string methodName(std::uint16_t method);

// "unsupported compression method 9 (Deflate64)"; without the parenthesis for unnamed methods.
std::string unsupportedMethodText(std::uint16_t method);

}  // namespace zip
}  // namespace format
