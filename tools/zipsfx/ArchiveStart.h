// Where the Zip archive in a file lies: from right after the mark in a self-extracting file (at
// 0 in a plain Zip file) to the start of the certificate table of a signed executable (the end
// of the file otherwise).
#pragma once

#include <cstdint>
#include <string>

namespace tools {

struct ArchiveRange {
    std::uint32_t start = 0;
    std::uint64_t end = ~std::uint64_t(0);  // all bits set: the end of the file
    bool isSigned = false;
};

// Finds the range as the self-extracting program does. Throws generic::exception when the file
// cannot be read.
ArchiveRange findArchiveRange(const std::string& path);
inline std::uint32_t findArchiveStart(const std::string& path) {
    return findArchiveRange(path).start;
}

}  // namespace tools
