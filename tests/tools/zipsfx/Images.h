// Small executables built in memory for the builder's tests: a Windows image with RCDATA
// resources and ELF images with named sections, laid out the way the linkers lay them out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace images {

struct Resource {
    std::string name;  // as stored in the directory (UTF-16 on disk)
    std::uint32_t type = 10;
    std::vector<std::uint16_t> languages = {1033};
    std::uint32_t size = 261;
};

struct Image {
    std::vector<std::uint8_t> bytes;
    // For each resource and language, in order: where its data lies in the file.
    std::vector<std::uint64_t> offsets;
};

// A PE32 (or PE32+) image with one code section and a resource section holding the resources.
Image windowsImage(const std::vector<Resource>& resources, bool wide = false);

struct Section {
    std::string name;
    std::uint32_t size = 522;
    std::uint32_t type = 1;  // SHT_PROGBITS
};

// An ELF image (32 or 64 bits, either byte order) with the given sections after a ".text".
Image elfImage(const std::vector<Section>& sections, bool wide = true, bool bigEndian = false);

}  // namespace images
