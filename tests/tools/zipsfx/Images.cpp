#include "tests/tools/zipsfx/Images.h"

namespace images {

namespace {

class Bytes {
  public:
    explicit Bytes(bool bigEndian = false) : bigEndian_(bigEndian) {}

    std::size_t size() const { return data_.size(); }
    void pad(std::size_t to) {
        if (data_.size() < to) {
            data_.resize(to, 0);
        }
    }
    void put(std::size_t at, std::uint64_t value, unsigned width) {
        pad(at + width);
        for (unsigned i = 0; i < width; ++i) {
            unsigned shift = bigEndian_ ? 8 * (width - 1 - i) : 8 * i;
            data_[at + i] = static_cast<std::uint8_t>(value >> shift);
        }
    }
    void putText(std::size_t at, const std::string& text) {
        pad(at + text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            data_[at + i] = static_cast<std::uint8_t>(text[i]);
        }
    }
    std::vector<std::uint8_t>& data() { return data_; }

  private:
    bool bigEndian_;
    std::vector<std::uint8_t> data_;
};

}  // namespace

Image windowsImage(const std::vector<Resource>& resources, bool wide) {
    constexpr std::uint32_t kPe = 0x80;
    constexpr std::uint32_t kFileAlign = 0x200;
    constexpr std::uint32_t kRsrcVa = 0x2000;
    const std::uint16_t optionalSize = wide ? 240 : 224;

    // The resource section: root (by type) -> names -> languages -> data entries -> data.
    std::vector<std::uint32_t> types;
    for (const auto& r : resources) {
        bool known = false;
        for (auto t : types) {
            known = known || t == r.type;
        }
        if (!known) {
            types.push_back(r.type);
        }
    }
    Bytes rsrc;
    std::size_t at = 16 + 8 * types.size();
    std::vector<std::size_t> typeDirs;
    for (auto type : types) {
        typeDirs.push_back(at);
        std::size_t count = 0;
        for (const auto& r : resources) {
            count += r.type == type;
        }
        at += 16 + 8 * count;
    }
    std::vector<std::size_t> languageDirs;
    for (const auto& r : resources) {
        languageDirs.push_back(at);
        at += 16 + 8 * r.languages.size();
    }
    std::vector<std::size_t> nameAt;
    for (const auto& r : resources) {
        nameAt.push_back(at);
        at += 2 + 2 * r.name.size();
    }
    at = (at + 3) & ~std::size_t(3);
    std::size_t entries = at;
    std::size_t leaves = 0;
    for (const auto& r : resources) {
        leaves += r.languages.size();
    }
    std::size_t data = entries + 16 * leaves;

    rsrc.put(14, types.size(), 2);
    for (std::size_t t = 0; t < types.size(); ++t) {
        rsrc.put(16 + 8 * t, types[t], 4);
        rsrc.put(16 + 8 * t + 4, 0x80000000u | typeDirs[t], 4);
        std::size_t count = 0;
        for (std::size_t i = 0; i < resources.size(); ++i) {
            if (resources[i].type != types[t]) {
                continue;
            }
            std::size_t e = typeDirs[t] + 16 + 8 * count++;
            rsrc.put(e, 0x80000000u | nameAt[i], 4);
            rsrc.put(e + 4, 0x80000000u | languageDirs[i], 4);
        }
        rsrc.put(typeDirs[t] + 12, count, 2);
    }
    Image image;
    std::size_t leaf = 0;
    std::vector<std::size_t> dataAt;
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const auto& r = resources[i];
        rsrc.put(nameAt[i], r.name.size(), 2);
        for (std::size_t c = 0; c < r.name.size(); ++c) {
            rsrc.put(nameAt[i] + 2 + 2 * c, static_cast<std::uint8_t>(r.name[c]), 2);
        }
        rsrc.put(languageDirs[i] + 14, r.languages.size(), 2);
        for (std::size_t l = 0; l < r.languages.size(); ++l) {
            std::size_t e = languageDirs[i] + 16 + 8 * l;
            rsrc.put(e, r.languages[l], 4);
            std::size_t entry = entries + 16 * leaf++;
            rsrc.put(e + 4, entry, 4);
            rsrc.put(entry, kRsrcVa + data, 4);
            rsrc.put(entry + 4, r.size, 4);
            dataAt.push_back(data);
            for (std::uint32_t b = 0; b < r.size; ++b) {
                rsrc.put(data + b, 0xEE, 1);  // what was there before
            }
            data = (data + r.size + 7) & ~std::size_t(7);
        }
    }
    rsrc.pad(data);

    Bytes file;
    file.putText(0, "MZ");
    file.put(0x3C, kPe, 4);
    file.putText(kPe, std::string("PE\0\0", 4));
    const std::size_t coff = kPe + 4;
    file.put(coff, wide ? 0x8664 : 0x14C, 2);
    file.put(coff + 2, 2, 2);
    file.put(coff + 16, optionalSize, 2);
    const std::size_t optional = coff + 20;
    file.put(optional, wide ? 0x20B : 0x10B, 2);
    file.put(optional + 32, 0x1000, 4);      // section alignment
    file.put(optional + 36, kFileAlign, 4);  // file alignment
    file.put(optional + 56, kRsrcVa + (rsrc.size() + 0xFFF) / 0x1000 * 0x1000, 4);  // image size
    file.put(optional + 60, kFileAlign, 4);                                         // headers
    file.put(optional + (wide ? 108 : 92), 16, 4);
    const std::size_t directories = optional + (wide ? 112 : 96);
    file.put(directories + 16, kRsrcVa, 4);
    file.put(directories + 20, rsrc.size(), 4);
    const std::size_t table = optional + optionalSize;
    const std::uint32_t rawSize =
        static_cast<std::uint32_t>((rsrc.size() + kFileAlign - 1) / kFileAlign * kFileAlign);
    // A code section first, so that the resource section's RVA and file offset differ.
    file.putText(table, ".text");
    file.put(table + 8, 0x100, 4);
    file.put(table + 12, 0x1000, 4);
    file.put(table + 16, kFileAlign, 4);
    file.put(table + 20, kFileAlign, 4);
    file.putText(table + 40, ".rsrc");
    file.put(table + 48, rsrc.size(), 4);
    file.put(table + 52, kRsrcVa, 4);
    file.put(table + 56, rawSize, 4);
    file.put(table + 60, 2 * kFileAlign, 4);
    file.put(table + 76, 0x40000040u, 4);  // initialised data, readable
    file.pad(2 * kFileAlign);
    for (std::size_t i = 0; i < rsrc.size(); ++i) {
        file.put(2 * kFileAlign + i, rsrc.data()[i], 1);
    }
    file.pad(2 * kFileAlign + rawSize);
    image.bytes = file.data();
    for (std::size_t d : dataAt) {
        image.offsets.push_back(2 * kFileAlign + d);
    }
    return image;
}

Image elfImage(const std::vector<Section>& sections, bool wide, bool bigEndian) {
    Bytes file(bigEndian);
    const std::size_t headerSize = wide ? 64 : 52;
    const std::size_t entrySize = wide ? 64 : 40;
    file.putText(0,
                 "\x7F"
                 "ELF");
    file.put(4, wide ? 2 : 1, 1);
    file.put(5, bigEndian ? 2 : 1, 1);
    file.put(6, 1, 1);
    file.put(16, 2, 2);  // ET_EXEC

    std::vector<Section> all = {{"", 0, 0}, {".text", 64, 1}};
    all.insert(all.end(), sections.begin(), sections.end());
    all.push_back({".shstrtab", 0, 3});
    std::string names(1, '\0');
    std::vector<std::size_t> nameAt;
    for (const auto& s : all) {
        if (s.name.empty()) {
            nameAt.push_back(0);
            continue;
        }
        nameAt.push_back(names.size());
        names += s.name + '\0';
    }
    all.back().size = static_cast<std::uint32_t>(names.size());

    Image image;
    std::size_t at = headerSize;
    std::vector<std::size_t> offsets;
    for (auto& s : all) {
        offsets.push_back(s.type == 0 ? 0 : at);
        if (s.type != 8 && s.type != 0) {  // SHT_NOBITS takes no file room
            for (std::uint32_t b = 0; b < s.size; ++b) {
                file.put(at + b, 0xEE, 1);
            }
            at += s.size;
        }
    }
    file.putText(offsets.back(), names);
    at = (at + 7) & ~std::size_t(7);
    const std::size_t table = at;
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::size_t e = table + entrySize * i;
        file.put(e, nameAt[i], 4);
        file.put(e + 4, all[i].type, 4);
        file.put(e + (wide ? 24 : 16), offsets[i], wide ? 8 : 4);
        file.put(e + (wide ? 32 : 20), all[i].size, wide ? 8 : 4);
    }
    file.pad(table + entrySize * all.size());
    file.put(wide ? 0x28 : 0x20, table, wide ? 8 : 4);
    file.put(wide ? 0x34 : 0x28, headerSize, 2);
    file.put(wide ? 0x3A : 0x2E, entrySize, 2);
    file.put(wide ? 0x3C : 0x30, all.size(), 2);
    file.put(wide ? 0x3E : 0x32, all.size() - 1, 2);
    image.bytes = file.data();
    for (std::size_t i = 2; i + 1 < all.size(); ++i) {
        image.offsets.push_back(offsets[i]);
    }
    return image;
}

}  // namespace images
