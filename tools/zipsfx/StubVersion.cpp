#include "tools/zipsfx/StubVersion.h"

#include <cstring>

#include "sfx/Layout.h"
#include "tools/zipsfx/ElfSection.h"
#include "tools/zipsfx/PeResources.h"
#include "tools/zipsfx/StubImage.h"

namespace tools {

namespace {

constexpr std::uint32_t kVersionResourceType = 16;
// A version text longer than this is not one the build writes.
constexpr std::size_t kMaxVersionText = 64;

// Printable ASCII only: the text goes to a terminal as it is.
std::optional<std::string> versionText(std::string text) {
    if (text.empty() || text.size() > kMaxVersionText) {
        return std::nullopt;
    }
    for (char c : text) {
        if (c < 0x20 || c > 0x7e) {
            return std::nullopt;
        }
    }
    return text;
}

// Reads of the bytes [begin, end) of the image that answer nothing past the end instead of
// reading it.
class Bytes {
  public:
    Bytes(const std::vector<std::uint8_t>& image, std::uint64_t begin, std::uint64_t end,
          bool bigEndian = false)
        : image_(image), begin_(begin), end_(end), bigEndian_(bigEndian) {}

    bool has(std::uint64_t at, std::uint64_t length) const {
        return at >= begin_ && at <= end_ && length <= end_ - at;
    }
    std::optional<std::uint32_t> u16(std::uint64_t at) const { return number(at, 2); }
    std::optional<std::uint32_t> u32(std::uint64_t at) const { return number(at, 4); }

  private:
    std::optional<std::uint32_t> number(std::uint64_t at, unsigned size) const {
        if (!has(at, size)) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (unsigned i = 0; i < size; ++i) {
            const unsigned shift = bigEndian_ ? 8 * (size - 1 - i) : 8 * i;
            value |= static_cast<std::uint32_t>(image_[at + i]) << shift;
        }
        return value;
    }

    const std::vector<std::uint8_t>& image_;
    std::uint64_t begin_;
    std::uint64_t end_;
    bool bigEndian_;
};

// The ELF note: name size, descriptor size and type in the file's byte order, then the owner's
// name and the descriptor, each padded to four bytes. The section holds this one note.
std::optional<std::string> elfVersion(const std::vector<std::uint8_t>& image) {
    const std::optional<FileRange> section = findElfSection(image, ZIPSFX_VERSION_NOTE_SECTION);
    if (!section) {
        return std::nullopt;
    }
    const bool bigEndian = image.size() > 5 && image[5] == 2;  // EI_DATA: ELFDATA2MSB
    const Bytes note(image, section->offset, section->offset + section->size, bigEndian);
    const auto nameSize = note.u32(section->offset);
    const auto descriptorSize = note.u32(section->offset + 4);
    const auto type = note.u32(section->offset + 8);
    if (!nameSize || !descriptorSize || !type || *type != ZIPSFX_VERSION_NOTE_TYPE ||
        *nameSize != sizeof(ZIPSFX_VERSION_NOTE_OWNER)) {
        return std::nullopt;
    }
    const std::uint64_t name = section->offset + 12;
    const std::uint64_t descriptor = name + ((*nameSize + 3) & ~std::uint64_t(3));
    if (!note.has(name, *nameSize) || !note.has(descriptor, *descriptorSize) ||
        std::memcmp(&image[name], ZIPSFX_VERSION_NOTE_OWNER, *nameSize) != 0) {
        return std::nullopt;
    }
    // The descriptor is the text and its terminating zero.
    const char* text = reinterpret_cast<const char*>(&image[descriptor]);
    if (*descriptorSize == 0 || text[*descriptorSize - 1] != '\0') {
        return std::nullopt;
    }
    return versionText(std::string(text, *descriptorSize - 1));
}

// One block of a version resource: its length, the length of its value, its type (1: text) and
// its key in UTF-16; the value and then the child blocks follow, each at a multiple of four bytes
// from the resource's start.
struct Block {
    std::uint64_t end = 0;
    std::string key;  // ASCII keys only; any other character becomes '?'
    std::uint64_t value = 0;
    std::uint64_t children = 0;
};

class VersionResource {
  public:
    VersionResource(const std::vector<std::uint8_t>& image, const FileRange& range)
        : bytes_(image, range.offset, range.offset + range.size), start_(range.offset) {}

    std::optional<Block> block(std::uint64_t at, std::uint64_t limit) const {
        const auto length = bytes_.u16(at);
        const auto valueLength = bytes_.u16(at + 2);
        const auto type = bytes_.u16(at + 4);
        if (!length || !valueLength || !type || *length < 6 || !bytes_.has(at, *length) ||
            at + *length > limit) {
            return std::nullopt;
        }
        Block b;
        b.end = at + *length;
        std::uint64_t p = at + 6;
        while (true) {
            const auto c = bytes_.u16(p);
            if (!c || p + 2 > b.end) {
                return std::nullopt;
            }
            p += 2;
            if (*c == 0) {
                break;
            }
            b.key += *c < 0x80 ? static_cast<char>(*c) : '?';
        }
        b.value = align(p);
        const std::uint64_t valueBytes = *type == 1 ? 2ull * *valueLength : *valueLength;
        b.children = align(b.value + valueBytes);
        return b;
    }

    // The children of a block, in order.
    std::vector<Block> children(const Block& parent) const {
        std::vector<Block> result;
        std::uint64_t at = parent.children;
        while (at < parent.end) {
            const std::optional<Block> child = block(at, parent.end);
            if (!child) {
                break;
            }
            at = align(child->end);
            result.push_back(*child);
        }
        return result;
    }

    // A text value: UTF-16 up to its terminating zero, ASCII only.
    std::optional<std::string> text(const Block& b) const {
        std::string result;
        for (std::uint64_t p = b.value; p + 2 <= b.end; p += 2) {
            const std::uint32_t c = *bytes_.u16(p);
            if (c == 0) {
                return result;
            }
            if (c >= 0x80) {
                return std::nullopt;
            }
            result += static_cast<char>(c);
        }
        return std::nullopt;  // no terminating zero inside the block
    }

  private:
    std::uint64_t align(std::uint64_t at) const { return start_ + ((at - start_ + 3) & ~3ull); }

    Bytes bytes_;
    std::uint64_t start_;
};

std::optional<std::string> windowsVersion(const std::vector<std::uint8_t>& image) {
    for (const FileRange& range : findResourcesOfType(image, kVersionResourceType)) {
        const VersionResource resource(image, range);
        const std::optional<Block> root = resource.block(range.offset, range.offset + range.size);
        if (!root) {
            continue;
        }
        for (const Block& info : resource.children(*root)) {
            if (info.key != "StringFileInfo") {
                continue;
            }
            for (const Block& table : resource.children(info)) {
                for (const Block& entry : resource.children(table)) {
                    if (entry.key == ZIPSFX_VERSION_KEY) {
                        if (auto text = resource.text(entry)) {
                            return versionText(*text);
                        }
                    }
                }
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> stubVersion(const std::vector<std::uint8_t>& image) {
    if (stubKind(image) == StubKind::Windows) {
        return windowsVersion(image);
    }
    return elfVersion(image);
}

}  // namespace tools
