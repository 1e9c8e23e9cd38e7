// Finds a named section of an ELF executable (32 or 64 bits, either byte order) through its
// section headers: the POSIX stub keeps its settings in a section of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/zipsfx/PeResources.h"

namespace tools {

// True when the bytes start with the ELF magic.
bool isElfImage(const std::vector<std::uint8_t>& image);

// The file range of the section of that name, or nothing when there is none. Throws
// generic::exception when the headers are damaged or the section occupies no file bytes.
std::optional<FileRange> findElfSection(const std::vector<std::uint8_t>& image,
                                        const std::string& name);

}  // namespace tools
