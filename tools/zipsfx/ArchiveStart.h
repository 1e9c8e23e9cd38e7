// Where the Zip archive in a file begins: right after the mark in a self-extracting file, at 0
// in a plain Zip file.
#pragma once

#include <cstdint>
#include <string>

namespace tools {

// Finds the mark as the self-extracting program does. Throws generic::exception when the file
// cannot be read.
std::uint32_t findArchiveStart(const std::string& path);

}  // namespace tools
