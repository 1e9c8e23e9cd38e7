#include "tools/zipsfx/ElfSection.h"

#include "base/Exception.h"

namespace tools {

namespace {

constexpr std::uint32_t kNoBits = 8;              // SHT_NOBITS: occupies no file bytes
constexpr std::uint32_t kExtendedIndex = 0xFFFF;  // SHN_XINDEX

[[noreturn]] void damaged(const std::string& what) {
    throw generic::exception("damaged executable: " + what, "stub");
}

class Reader {
  public:
    Reader(const std::vector<std::uint8_t>& image, bool bigEndian)
        : image_(image), bigEndian_(bigEndian) {}

    std::uint64_t value(std::uint64_t offset, unsigned width) const {
        if (offset > image_.size() || width > image_.size() - offset) {
            damaged("a header runs past the end of the file");
        }
        std::uint64_t result = 0;
        for (unsigned i = 0; i < width; ++i) {
            unsigned shift = bigEndian_ ? 8 * (width - 1 - i) : 8 * i;
            result |= std::uint64_t(image_[offset + i]) << shift;
        }
        return result;
    }

  private:
    const std::vector<std::uint8_t>& image_;
    bool bigEndian_;
};

struct SectionHeader {
    std::uint32_t name;
    std::uint32_t type;
    std::uint32_t link;
    std::uint64_t offset;
    std::uint64_t size;
};

}  // namespace

bool isElfImage(const std::vector<std::uint8_t>& image) {
    return image.size() >= 16 && image[0] == 0x7F && image[1] == 'E' && image[2] == 'L' &&
           image[3] == 'F';
}

std::optional<FileRange> findElfSection(const std::vector<std::uint8_t>& image,
                                        const std::string& name) {
    if (!isElfImage(image)) {
        damaged("not an ELF executable");
    }
    const bool wide = image[4] == 2;
    if (image[4] != 1 && image[4] != 2) {
        damaged("unknown ELF class");
    }
    if (image[5] != 1 && image[5] != 2) {
        damaged("unknown ELF byte order");
    }
    Reader in(image, image[5] == 2);
    const unsigned word = wide ? 8 : 4;
    const std::uint64_t tableOffset = in.value(wide ? 0x28 : 0x20, word);
    const std::uint64_t entrySize = in.value(wide ? 0x3A : 0x2E, 2);
    std::uint64_t count = in.value(wide ? 0x3C : 0x30, 2);
    std::uint64_t namesIndex = in.value(wide ? 0x3E : 0x32, 2);
    if (tableOffset == 0) {
        return std::nullopt;  // no section headers at all
    }
    if (entrySize < (wide ? 64u : 40u)) {
        damaged("section headers too small");
    }
    auto header = [&](std::uint64_t index) {
        std::uint64_t at = tableOffset + index * entrySize;
        SectionHeader h;
        h.name = static_cast<std::uint32_t>(in.value(at, 4));
        h.type = static_cast<std::uint32_t>(in.value(at + 4, 4));
        h.offset = in.value(at + (wide ? 24 : 16), word);
        h.size = in.value(at + (wide ? 32 : 20), word);
        h.link = static_cast<std::uint32_t>(in.value(at + (wide ? 40 : 24), 4));
        return h;
    };
    // Many sections: the real count and name-table index live in the first section header.
    if (count == 0) {
        count = header(0).size;
    }
    if (namesIndex == kExtendedIndex) {
        namesIndex = header(0).link;
    }
    if (count > image.size() / entrySize || namesIndex >= count) {
        damaged("bad section header count");
    }
    const SectionHeader names = header(namesIndex);
    if (names.offset > image.size() || names.size > image.size() - names.offset) {
        damaged("the section name table lies outside the file");
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        SectionHeader h = header(i);
        if (h.name >= names.size || names.size - h.name < name.size() + 1 ||
            name.compare(0, std::string::npos,
                         reinterpret_cast<const char*>(image.data() + names.offset + h.name),
                         name.size()) != 0 ||
            image[names.offset + h.name + name.size()] != 0) {
            continue;
        }
        if (h.type == kNoBits) {
            damaged("section " + name + " holds no file data");
        }
        if (h.offset > image.size() || h.size > image.size() - h.offset) {
            damaged("section " + name + " lies outside the file");
        }
        return FileRange{h.offset, h.size};
    }
    return std::nullopt;
}

}  // namespace tools
