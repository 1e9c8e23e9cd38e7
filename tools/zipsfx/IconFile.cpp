#include "tools/zipsfx/IconFile.h"

#include <algorithm>

#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

constexpr std::size_t kHeader = 6;
constexpr std::size_t kFileEntry = 16;
constexpr std::size_t kGroupEntry = 14;
const std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

bool isPng(const std::vector<std::uint8_t>& image) {
    return image.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, image.begin());
}

}  // namespace

std::vector<IconImage> parseIcon(const std::vector<std::uint8_t>& file, const std::string& path) {
    auto refuse = [&](const std::string& why) { fail("the icon " + path + " " + why, "icon"); };
    if (file.size() < kHeader || u16(file, 0) != 0 || u16(file, 2) != 1) {
        refuse("is not an icon file (.ico)");
    }
    const std::size_t count = u16(file, 4);
    if (count == 0) {
        refuse("holds no image");
    }
    const std::size_t directoryEnd = kHeader + kFileEntry * count;
    if (directoryEnd > file.size()) {
        refuse("says it holds " + std::to_string(count) +
               " images, but is too short for their list (" + std::to_string(file.size()) +
               " bytes): it is truncated or its count is wrong");
    }
    std::vector<IconImage> images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kHeader + kFileEntry * i;
        const std::uint32_t size = u32(file, at + 8);
        const std::uint32_t offset = u32(file, at + 12);
        const std::string which = "image " + std::to_string(i + 1) + " of " + std::to_string(count);
        if (offset < directoryEnd) {
            refuse("is damaged: it says it holds " + std::to_string(count) + " images, but " +
                   which + " starts inside their list: its image count is wrong");
        }
        if (size == 0 || offset > file.size() || size > file.size() - offset) {
            refuse("is damaged: " + which + " runs past the end of the file (" +
                   std::to_string(size) + " bytes at " + std::to_string(offset) +
                   ", the file has " + std::to_string(file.size()) + "): it is truncated");
        }
        IconImage image;
        image.width = file[at];
        image.height = file[at + 1];
        image.colors = file[at + 2];
        image.planes = static_cast<std::uint16_t>(u16(file, at + 4));
        image.bitCount = static_cast<std::uint16_t>(u16(file, at + 6));
        image.bytes.assign(file.begin() + offset, file.begin() + offset + size);
        if (isPng(image.bytes)) {
            // The header chunk gives the depth: bits per sample times samples per pixel.
            if (image.bytes.size() < 26 || be32(image.bytes, 12) != 0x49484452u) {
                refuse("is damaged: " + which + " is a PNG without its header");
            }
            static const std::uint8_t samples[7] = {1, 0, 3, 1, 2, 0, 4};
            const std::uint8_t type = image.bytes[25];
            if (image.bitCount == 0 && type < 7) {
                image.bitCount = static_cast<std::uint16_t>(image.bytes[24] * samples[type]);
            }
        } else {
            if (image.bytes.size() < 40 || u32(image.bytes, 0) != 40) {
                refuse("is damaged: " + which + " is neither a bitmap nor a PNG");
            }
            if (image.bitCount == 0) {
                image.bitCount = static_cast<std::uint16_t>(u16(image.bytes, 14));
            }
        }
        if (image.planes == 0) {
            image.planes = 1;
        }
        images.push_back(std::move(image));
    }
    return images;
}

std::vector<std::uint8_t> iconGroup(const std::vector<IconImage>& images,
                                    const std::vector<std::uint16_t>& ids) {
    std::vector<std::uint8_t> out;
    put16(out, 0);
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        out.push_back(image.width);
        out.push_back(image.height);
        out.push_back(image.colors);
        out.push_back(0);
        put16(out, image.planes);
        put16(out, image.bitCount);
        const auto size = static_cast<std::uint32_t>(image.bytes.size());
        put16(out, size & 0xFFFF);
        put16(out, size >> 16);
        put16(out, ids[i]);
    }
    return out;
}

std::vector<std::uint16_t> iconGroupIds(const std::vector<std::uint8_t>& group) {
    std::vector<std::uint16_t> ids;
    if (group.size() < kHeader) {
        return ids;
    }
    const std::size_t count = u16(group, 4);
    for (std::size_t i = 0; i < count && kHeader + kGroupEntry * (i + 1) <= group.size(); ++i) {
        ids.push_back(static_cast<std::uint16_t>(u16(group, kHeader + kGroupEntry * i + 12)));
    }
    return ids;
}

}  // namespace tools
