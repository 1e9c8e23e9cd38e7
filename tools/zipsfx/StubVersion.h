// Which zipsfx version a stub (or a self-extracting file made with one) is, read back from the
// record the stub carries: the ELF note of the POSIX stub, the "ZipsfxVersion" string of the
// Windows stub's version resource. `zipsfx info` prints it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tools {

// The version text ("0.9.0"), or nothing when the executable carries no readable version record
// (a stub older than the record, a version resource written without the string, a damaged
// record). Throws generic::exception when the bytes are no executable or its headers are damaged.
std::optional<std::string> stubVersion(const std::vector<std::uint8_t>& image);

}  // namespace tools
