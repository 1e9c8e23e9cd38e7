#include "tools/zipsfx/PeResources.h"

#include <cctype>

#include "base/Exception.h"

namespace tools {

namespace {

constexpr std::uint32_t kRcDataType = 10;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kHighBit = 0x80000000u;

[[noreturn]] void damaged(const std::string& what) {
    throw generic::exception("damaged executable: " + what, "stub");
}

// Bounds-checked little-endian reads of the image.
class Reader {
  public:
    explicit Reader(const std::vector<std::uint8_t>& image) : image_(image) {}

    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= image_.size() && length <= image_.size() - offset;
    }
    std::uint16_t u16(std::uint64_t offset) const {
        need(offset, 2);
        return static_cast<std::uint16_t>(image_[offset] | image_[offset + 1] << 8);
    }
    std::uint32_t u32(std::uint64_t offset) const {
        need(offset, 4);
        return static_cast<std::uint32_t>(u16(offset)) | static_cast<std::uint32_t>(u16(offset + 2))
                                                             << 16;
    }

  private:
    void need(std::uint64_t offset, std::uint64_t length) const {
        if (!has(offset, length)) {
            damaged("a header runs past the end of the file");
        }
    }
    const std::vector<std::uint8_t>& image_;
};

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

struct Pe {
    std::vector<Section> sections;
    std::uint32_t resourceRva = 0;
    std::uint32_t resourceSize = 0;
};

Pe readHeaders(const Reader& in) {
    std::uint32_t pe = in.u32(0x3C);
    if (in.u32(pe) != 0x00004550u) {
        damaged("no PE signature");
    }
    std::uint64_t coff = pe + 4ull;
    std::uint16_t sectionCount = in.u16(coff + 2);
    std::uint16_t optionalSize = in.u16(coff + 16);
    std::uint64_t optional = coff + 20;
    std::uint16_t magic = in.u16(optional);
    std::uint64_t countField;
    std::uint64_t directories;
    if (magic == 0x10B) {
        countField = optional + 92;
        directories = optional + 96;
    } else if (magic == 0x20B) {
        countField = optional + 108;
        directories = optional + 112;
    } else {
        damaged("unknown optional header");
    }
    Pe result;
    std::uint32_t directoryCount = in.u32(countField);
    if (directoryCount > kResourceDirectoryIndex &&
        directories + 8 * (kResourceDirectoryIndex + 1) <= optional + optionalSize) {
        result.resourceRva = in.u32(directories + 8 * kResourceDirectoryIndex);
        result.resourceSize = in.u32(directories + 8 * kResourceDirectoryIndex + 4);
    }
    std::uint64_t table = optional + optionalSize;
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
        std::uint64_t at = table + 40ull * i;
        result.sections.push_back(
            {in.u32(at + 12), in.u32(at + 8), in.u32(at + 16), in.u32(at + 20)});
    }
    return result;
}

// The file offset of length bytes at rva, which must lie in one section's file data.
std::uint64_t fileOffset(const Pe& pe, std::uint32_t rva, std::uint32_t length) {
    for (const Section& s : pe.sections) {
        std::uint64_t start = s.virtualAddress;
        if (rva >= start && rva - start + std::uint64_t(length) <= s.rawSize) {
            return s.rawOffset + (rva - start);
        }
    }
    damaged("a resource lies outside the file's sections");
}

class ResourceWalker {
  public:
    ResourceWalker(const Reader& in, std::uint64_t base, std::uint32_t size)
        : in_(in), base_(base), size_(size) {}

    struct Entry {
        bool named;
        std::uint32_t id;  // when not named
        std::string name;  // when named, upper case, only for ASCII names
        bool subdirectory;
        std::uint32_t target;  // offset in the resource section
    };

    std::vector<Entry> entries(std::uint32_t directory) const {
        check(directory, 16);
        std::uint64_t at = base_ + directory;
        std::uint32_t count = std::uint32_t(in_.u16(at + 12)) + in_.u16(at + 14);
        check(directory + 16ull, 8ull * count);
        std::vector<Entry> result;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint64_t e = at + 16 + 8ull * i;
            std::uint32_t name = in_.u32(e);
            std::uint32_t target = in_.u32(e + 4);
            Entry entry{
                (name & kHighBit) != 0, name, {}, (target & kHighBit) != 0, target & ~kHighBit};
            if (entry.named) {
                entry.name = readName(name & ~kHighBit);
            }
            result.push_back(std::move(entry));
        }
        return result;
    }

    // The data entry's RVA and size.
    std::pair<std::uint32_t, std::uint32_t> data(std::uint32_t entry) const {
        check(entry, 16);
        return {in_.u32(base_ + entry), in_.u32(base_ + entry + 4)};
    }

  private:
    void check(std::uint64_t offset, std::uint64_t length) const {
        if (offset > size_ || length > size_ - offset) {
            damaged("the resource directory points outside itself");
        }
    }
    // A counted UTF-16 name. Names outside ASCII can never equal the ones looked for, so they
    // are kept as a character that no ASCII name contains.
    std::string readName(std::uint32_t offset) const {
        check(offset, 2);
        std::uint16_t length = in_.u16(base_ + offset);
        check(offset + 2ull, 2ull * length);
        std::string text;
        for (std::uint16_t i = 0; i < length; ++i) {
            std::uint16_t c = in_.u16(base_ + offset + 2 + 2ull * i);
            text += c < 0x80 ? static_cast<char>(std::toupper(c)) : '\x7f';
        }
        return text;
    }

    const Reader& in_;
    std::uint64_t base_;
    std::uint32_t size_;
};

std::string upper(const std::string& text) {
    std::string result;
    for (char c : text) {
        result += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

}  // namespace

bool isPeImage(const std::vector<std::uint8_t>& image) {
    Reader in(image);
    if (!in.has(0, 0x40) || image[0] != 'M' || image[1] != 'Z') {
        return false;
    }
    std::uint32_t pe = in.u32(0x3C);
    return in.has(pe, 4) && in.u32(pe) == 0x00004550u;
}

namespace {

// The resources of one type whose name entries `wanted` accepts, every language of each.
template <typename Wanted>
std::vector<FileRange> findResources(const std::vector<std::uint8_t>& image, std::uint32_t typeId,
                                     Wanted wanted) {
    if (!isPeImage(image)) {
        damaged("not a Windows executable");
    }
    Reader in(image);
    Pe pe = readHeaders(in);
    std::vector<FileRange> found;
    if (pe.resourceRva == 0 || pe.resourceSize == 0) {
        return found;
    }
    std::uint64_t base = fileOffset(pe, pe.resourceRva, pe.resourceSize);
    ResourceWalker walker(in, base, pe.resourceSize);
    for (const auto& type : walker.entries(0)) {
        if (type.named || type.id != typeId || !type.subdirectory) {
            continue;
        }
        for (const auto& resource : walker.entries(type.target)) {
            if (!wanted(resource) || !resource.subdirectory) {
                continue;
            }
            for (const auto& language : walker.entries(resource.target)) {
                if (language.subdirectory) {
                    damaged("a resource directory nests too deeply");
                }
                auto [rva, size] = walker.data(language.target);
                found.push_back({fileOffset(pe, rva, size), size});
            }
        }
    }
    return found;
}

}  // namespace

std::vector<FileRange> findRcData(const std::vector<std::uint8_t>& image, const std::string& name) {
    const std::string upperName = upper(name);
    return findResources(image, kRcDataType, [&](const ResourceWalker::Entry& resource) {
        return resource.named && resource.name == upperName;
    });
}

std::vector<FileRange> findResourcesOfType(const std::vector<std::uint8_t>& image,
                                           std::uint32_t type) {
    return findResources(image, type, [](const ResourceWalker::Entry&) { return true; });
}

}  // namespace tools
