// A Windows icon file (.ico) checked and split as the resources want it: each image on its own
// (RT_ICON) and the directory that lists them (RT_GROUP_ICON).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

struct IconImage {
    // The directory entry's first 12 bytes (width, height, colours, reserved, planes, bit count,
    // byte count), planes and bit count filled in from the image when the file leaves them 0.
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::uint8_t colors = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::vector<std::uint8_t> bytes;  // a BITMAPINFOHEADER bitmap or a PNG
};

// Reads and checks an .ico file: its header, an image count that the file really holds, every
// image inside the file, after the directory, and a bitmap or PNG. Throws generic::exception
// (kind "icon") naming `path` and the fault.
std::vector<IconImage> parseIcon(const std::vector<std::uint8_t>& file, const std::string& path);

// The RT_GROUP_ICON resource for these images, which get the resource numbers given.
std::vector<std::uint8_t> iconGroup(const std::vector<IconImage>& images,
                                    const std::vector<std::uint16_t>& ids);

// The resource numbers of the images a group lists (empty when the group is too short).
std::vector<std::uint16_t> iconGroupIds(const std::vector<std::uint8_t>& group);

}  // namespace tools
