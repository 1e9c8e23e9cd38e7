#include "tools/zipsfx/ResourceTree.h"

#include <cctype>

#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kDirectoryHeader = 16;
constexpr std::uint32_t kDirectoryEntry = 8;
constexpr std::uint32_t kDataEntry = 16;

[[noreturn]] void damaged(const std::string& what) {
    fail("damaged executable: " + what, "stub");
}

class SectionReader {
  public:
    explicit SectionReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    void need(std::uint64_t offset, std::uint64_t length) const {
        if (offset > bytes_.size() || length > bytes_.size() - offset) {
            damaged("the resource directory points outside its section");
        }
    }
    std::uint16_t u16(std::uint64_t offset) const {
        need(offset, 2);
        return static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
    }
    std::uint32_t u32(std::uint64_t offset) const {
        return u16(offset) | static_cast<std::uint32_t>(u16(offset + 2)) << 16;
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    const std::vector<std::uint8_t>& bytes_;
};

struct RawEntry {
    ResourceKey key;
    bool subdirectory;
    std::uint32_t target;
};

std::vector<RawEntry> readDirectory(const SectionReader& in, std::uint32_t offset) {
    in.need(offset, kDirectoryHeader);
    const std::uint32_t count = std::uint32_t(in.u16(offset + 12)) + in.u16(offset + 14);
    in.need(offset + std::uint64_t(kDirectoryHeader), std::uint64_t(kDirectoryEntry) * count);
    std::vector<RawEntry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = offset + kDirectoryHeader + std::uint64_t(kDirectoryEntry) * i;
        const std::uint32_t name = in.u32(at);
        const std::uint32_t target = in.u32(at + 4);
        RawEntry entry{ResourceKey{}, (target & kHighBit) != 0, target & ~kHighBit};
        if (name & kHighBit) {
            const std::uint32_t text = name & ~kHighBit;
            const std::uint16_t length = in.u16(text);
            in.need(text + 2ull, 2ull * length);
            entry.key.named = true;
            for (std::uint16_t c = 0; c < length; ++c) {
                entry.key.name += static_cast<char16_t>(in.u16(text + 2ull + 2ull * c));
            }
        } else if (name > 0xFFFF) {
            damaged("a resource number is larger than 65535");
        } else {
            entry.key.id = static_cast<std::uint16_t>(name);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

std::size_t align(std::size_t value, std::size_t to) {
    return (value + to - 1) / to * to;
}

}  // namespace

ResourceKey ResourceKey::number(std::uint16_t id) {
    ResourceKey key;
    key.id = id;
    return key;
}

ResourceKey ResourceKey::text(const std::string& name) {
    ResourceKey key;
    key.named = true;
    for (char c : name) {
        key.name += static_cast<char16_t>(std::toupper(static_cast<unsigned char>(c)));
    }
    return key;
}

bool operator<(const ResourceKey& a, const ResourceKey& b) {
    if (a.named != b.named) {
        return a.named;
    }
    return a.named ? a.name < b.name : a.id < b.id;
}

bool operator==(const ResourceKey& a, const ResourceKey& b) {
    return a.named == b.named && (a.named ? a.name == b.name : a.id == b.id);
}

ResourceTree ResourceTree::read(const std::vector<std::uint8_t>& section, std::uint32_t sectionRva,
                                std::uint32_t directory) {
    const SectionReader in(section);
    ResourceTree tree;
    // Three levels, always: type, name, language; each level's entries point one level down, so
    // no walk can loop.
    for (const RawEntry& type : readDirectory(in, directory)) {
        if (!type.subdirectory) {
            damaged("a resource type holds data instead of names");
        }
        for (const RawEntry& name : readDirectory(in, type.target)) {
            if (!name.subdirectory) {
                damaged("a resource name holds data instead of languages");
            }
            for (const RawEntry& language : readDirectory(in, name.target)) {
                if (language.subdirectory || language.key.named) {
                    damaged("a resource directory nests too deeply");
                }
                in.need(language.target, kDataEntry);
                const std::uint32_t rva = in.u32(language.target);
                const std::uint32_t size = in.u32(language.target + 4);
                if (rva < sectionRva) {
                    damaged("resource data lies outside the resource section");
                }
                in.need(std::uint64_t(rva) - sectionRva, size);
                const auto from = section.begin() + (rva - sectionRva);
                ResourceData data{std::vector<std::uint8_t>(from, from + size),
                                  in.u32(language.target + 8)};
                tree.types_[type.key][name.key][language.key.id] = std::move(data);
            }
        }
    }
    return tree;
}

std::vector<std::uint8_t> ResourceTree::write(std::uint32_t rva) const {
    // Sizes first: directories, then data entries, then names, then the data.
    std::size_t directories = kDirectoryHeader + kDirectoryEntry * types_.size();
    std::size_t leaves = 0;
    std::size_t strings = 0;
    auto stringSize = [](const ResourceKey& key) {
        return key.named ? 2 + 2 * key.name.size() : 0;
    };
    for (const auto& [type, names] : types_) {
        strings += stringSize(type);
        directories += kDirectoryHeader + kDirectoryEntry * names.size();
        for (const auto& [name, languages] : names) {
            strings += stringSize(name);
            directories += kDirectoryHeader + kDirectoryEntry * languages.size();
            leaves += languages.size();
        }
    }
    const std::size_t entriesAt = directories;
    const std::size_t stringsAt = entriesAt + kDataEntry * leaves;
    std::size_t dataAt = align(stringsAt + strings, 8);
    std::size_t total = dataAt;
    for (const auto& [type, names] : types_) {
        for (const auto& [name, languages] : names) {
            for (const auto& [language, data] : languages) {
                total = align(total, 8) + data.bytes.size();
            }
        }
    }
    total = align(total, 8);
    if (total > 0x7FFFFFFFu) {
        fail("the resources would not fit in a section", "stub");
    }

    std::vector<std::uint8_t> out(total, 0);
    std::size_t nextDirectory = 0;
    std::size_t nextEntry = entriesAt;
    std::size_t nextString = stringsAt;
    std::size_t nextData = dataAt;
    auto header = [&](std::size_t named, std::size_t numbered) {
        const std::size_t at = nextDirectory;
        put16(out, at + 12, static_cast<std::uint32_t>(named));
        put16(out, at + 14, static_cast<std::uint32_t>(numbered));
        nextDirectory += kDirectoryHeader + kDirectoryEntry * (named + numbered);
        return at;
    };
    auto keyField = [&](const ResourceKey& key) -> std::uint32_t {
        if (!key.named) {
            return key.id;
        }
        const std::size_t at = nextString;
        put16(out, at, static_cast<std::uint32_t>(key.name.size()));
        for (std::size_t i = 0; i < key.name.size(); ++i) {
            put16(out, at + 2 + 2 * i, key.name[i]);
        }
        nextString += 2 + 2 * key.name.size();
        return static_cast<std::uint32_t>(at) | kHighBit;
    };
    auto counts = [](const auto& map) {
        std::size_t named = 0;
        for (const auto& item : map) {
            named += item.first.named ? 1 : 0;
        }
        return std::make_pair(named, map.size() - named);
    };

    // Breadth first: the root, every type's directory, every name's directory.
    const auto [namedTypes, numberedTypes] = counts(types_);
    const std::size_t root = header(namedTypes, numberedTypes);
    std::vector<std::size_t> typeDirectories;
    std::size_t i = 0;
    for (const auto& [type, names] : types_) {
        const auto [named, numbered] = counts(names);
        const std::size_t at = header(named, numbered);
        typeDirectories.push_back(at);
        const std::size_t entry = root + kDirectoryHeader + kDirectoryEntry * i++;
        put32(out, entry, keyField(type));
        put32(out, entry + 4, static_cast<std::uint32_t>(at) | kHighBit);
    }
    i = 0;
    for (const auto& [type, names] : types_) {
        std::size_t j = 0;
        for (const auto& [name, languages] : names) {
            const std::size_t at = header(0, languages.size());
            const std::size_t entry = typeDirectories[i] + kDirectoryHeader + kDirectoryEntry * j++;
            put32(out, entry, keyField(name));
            put32(out, entry + 4, static_cast<std::uint32_t>(at) | kHighBit);
            std::size_t k = 0;
            for (const auto& [language, data] : languages) {
                const std::size_t leaf = at + kDirectoryHeader + kDirectoryEntry * k++;
                put32(out, leaf, language);
                put32(out, leaf + 4, static_cast<std::uint32_t>(nextEntry));
                nextData = align(nextData, 8);
                put32(out, nextEntry, static_cast<std::uint32_t>(rva + nextData));
                put32(out, nextEntry + 4, static_cast<std::uint32_t>(data.bytes.size()));
                put32(out, nextEntry + 8, data.codePage);
                nextEntry += kDataEntry;
                std::copy(data.bytes.begin(), data.bytes.end(), out.begin() + nextData);
                nextData += data.bytes.size();
            }
        }
        ++i;
    }
    return out;
}

const ResourceTree::Languages* ResourceTree::find(const ResourceKey& type,
                                                  const ResourceKey& name) const {
    const auto t = types_.find(type);
    if (t == types_.end()) {
        return nullptr;
    }
    const auto n = t->second.find(name);
    return n == t->second.end() ? nullptr : &n->second;
}

void ResourceTree::put(const ResourceKey& type, const ResourceKey& name, std::uint16_t language,
                       ResourceData data) {
    types_[type][name][language] = std::move(data);
}

void ResourceTree::remove(const ResourceKey& type, const ResourceKey& name) {
    const auto t = types_.find(type);
    if (t == types_.end()) {
        return;
    }
    t->second.erase(name);
    if (t->second.empty()) {
        types_.erase(t);
    }
}

}  // namespace tools
