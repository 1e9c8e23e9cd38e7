// Finds named RCDATA blocks of a Windows executable through its resource directory, so that
// `zipsfx make` can rewrite a stub's settings in place without searching for byte patterns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// Where one block lies in the file.
struct FileRange {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// True when the bytes start like a Windows executable ("MZ" and a "PE" header).
bool isPeImage(const std::vector<std::uint8_t>& image);

// Every language version of the RCDATA resource of the given name (compared without regard
// to case, as the loader does), as ranges of the file. Empty when there is none. Throws
// generic::exception when the executable's headers or resource directory are damaged.
std::vector<FileRange> findRcData(const std::vector<std::uint8_t>& image, const std::string& name);

// Every resource of a numbered type (16: the version resource), whatever its name or language,
// as ranges of the file. Throws as findRcData does.
std::vector<FileRange> findResourcesOfType(const std::vector<std::uint8_t>& image,
                                           std::uint32_t type);

}  // namespace tools
