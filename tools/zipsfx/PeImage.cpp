#include "tools/zipsfx/PeImage.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kCertificateDirectory = 4;
constexpr std::uint32_t kRelocationDirectory = 5;
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint32_t kDiscardable = 0x02000000u;
constexpr std::uint32_t kInitializedData = 0x00000040u;
constexpr std::uint32_t kReadable = 0x40000000u;

[[noreturn]] void damaged(const std::string& what) {
    fail("damaged executable: " + what, "stub");
}

std::uint32_t get16(const std::vector<std::uint8_t>& in, std::uint64_t at) {
    if (at > in.size() || in.size() - at < 2) {
        damaged("a header runs past the end of the file");
    }
    return static_cast<std::uint32_t>(in[at] | in[at + 1] << 8);
}

std::uint32_t get32(const std::vector<std::uint8_t>& in, std::uint64_t at) {
    return get16(in, at) | get16(in, at + 2) << 16;
}

void set16(std::vector<std::uint8_t>& out, std::uint64_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void set32(std::vector<std::uint8_t>& out, std::uint64_t at, std::uint32_t value) {
    set16(out, at, value & 0xFFFF);
    set16(out, at + 2, value >> 16);
}

std::uint64_t align(std::uint64_t value, std::uint64_t to) {
    return (value + to - 1) / to * to;
}

bool isPowerOfTwo(std::uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// How much address space a section takes when loaded.
std::uint32_t loadedSize(const PeSection& s) {
    return std::max(s.virtualSize, s.rawSize);
}

}  // namespace

PeImage::PeImage(const std::vector<std::uint8_t>& image) {
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') {
        damaged("not a Windows executable");
    }
    peOffset_ = get32(image, 0x3C);
    if (get32(image, peOffset_) != 0x00004550u) {
        damaged("no PE signature");
    }
    const std::uint64_t coff = peOffset_ + 4ull;
    const std::uint32_t sectionCount = get16(image, coff + 2);
    optionalSize_ = static_cast<std::uint16_t>(get16(image, coff + 16));
    optionalOffset_ = static_cast<std::uint32_t>(coff + 20);
    magic_ = static_cast<std::uint16_t>(get16(image, optionalOffset_));
    if (magic_ != 0x10B && magic_ != 0x20B) {
        damaged("unknown optional header");
    }
    sectionAlignment_ = get32(image, optionalOffset_ + 32);
    fileAlignment_ = get32(image, optionalOffset_ + 36);
    sizeOfHeaders_ = get32(image, optionalOffset_ + 60);
    if (!isPowerOfTwo(sectionAlignment_) || !isPowerOfTwo(fileAlignment_)) {
        damaged("the section or file alignment is not a power of two");
    }
    const std::uint32_t countAt = is64() ? 108 : 92;
    directoryCount_ = get32(image, optionalOffset_ + countAt);
    directoriesOffset_ = optionalOffset_ + countAt + 4;
    if (countAt + 4 + 8ull * directoryCount_ > optionalSize_) {
        damaged("the data directories run past the optional header");
    }
    sectionTableOffset_ = optionalOffset_ + optionalSize_;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t at = sectionTableOffset_ + std::uint64_t(kSectionHeaderSize) * i;
        PeSection s;
        if (at + kSectionHeaderSize > image.size()) {
            damaged("the section table runs past the end of the file");
        }
        std::memcpy(s.name, &image[at], 8);
        s.virtualSize = get32(image, at + 8);
        s.virtualAddress = get32(image, at + 12);
        s.rawSize = get32(image, at + 16);
        s.rawOffset = get32(image, at + 20);
        s.characteristics = get32(image, at + 36);
        if (s.rawSize != 0 &&
            (s.rawOffset > image.size() || s.rawSize > image.size() - s.rawOffset)) {
            damaged(std::string("section ") + s.name + " lies outside the file");
        }
        if (i > 0 && s.virtualAddress < sections_.back().virtualAddress) {
            damaged("the sections are not in address order");
        }
        sections_.push_back(s);
    }
    if (directoryCount_ > kResourceDirectory) {
        resourceRva_ = get32(image, directoriesOffset_ + 8 * kResourceDirectory);
        resourceSize_ = get32(image, directoriesOffset_ + 8 * kResourceDirectory + 4);
    }
    if (resourceRva_ != 0) {
        for (std::size_t i = 0; i < sections_.size(); ++i) {
            const PeSection& s = sections_[i];
            if (resourceRva_ >= s.virtualAddress &&
                resourceRva_ - s.virtualAddress < std::min(s.rawSize, loadedSize(s))) {
                resourceIndex_ = static_cast<int>(i);
            }
        }
        if (resourceIndex_ < 0) {
            damaged("the resource directory lies outside the file's sections");
        }
    }
}

std::vector<std::uint8_t> PeImage::resourceSection(const std::vector<std::uint8_t>& image) const {
    if (resourceIndex_ < 0) {
        return {};
    }
    const PeSection& s = sections_[static_cast<std::size_t>(resourceIndex_)];
    // The loaded part that the file holds; what the loader would fill with zeros is not data.
    const std::uint32_t size = std::min(s.rawSize, loadedSize(s));
    return std::vector<std::uint8_t>(image.begin() + s.rawOffset,
                                     image.begin() + s.rawOffset + size);
}

std::uint32_t PeImage::resourceSectionRva() const {
    return resourceIndex_ < 0 ? 0
                              : sections_[static_cast<std::size_t>(resourceIndex_)].virtualAddress;
}

ResourcePlacement PeImage::replaceResources(
    std::vector<std::uint8_t>& image,
    const std::function<std::vector<std::uint8_t>(std::uint32_t rva)>& build) const {
    if (directoryCount_ <= kResourceDirectory) {
        fail("the stub has no data directory for resources", "stub");
    }
    if (directoryCount_ > kCertificateDirectory &&
        get32(image, directoriesOffset_ + 8 * kCertificateDirectory) != 0) {
        fail("the stub is signed: brand an unsigned stub, then sign the file made", "stub");
    }
    std::vector<PeSection> sections = sections_;
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> bytes;
    std::uint32_t rva = 0;
    ResourcePlacement placement = ResourcePlacement::NewSection;
    std::int64_t initializedGrowth = 0;
    const std::size_t count = sections.size();
    // Where the last section's loaded space and file data end.
    auto imageEnd = [&](const std::vector<PeSection>& list) {
        std::uint64_t end = 0;
        for (const PeSection& s : list) {
            end = std::max<std::uint64_t>(end, s.virtualAddress + std::uint64_t(loadedSize(s)));
        }
        return end;
    };
    auto rawEnd = [](const PeSection& s) { return std::uint64_t(s.rawOffset) + s.rawSize; };

    // The resource section can be rewritten where it is only when it holds nothing else.
    const bool ownSection =
        resourceIndex_ >= 0 && resourceRva_ == sections[std::size_t(resourceIndex_)].virtualAddress;
    if (ownSection) {
        const std::size_t r = static_cast<std::size_t>(resourceIndex_);
        PeSection& s = sections[r];
        rva = s.virtualAddress;
        bytes = build(rva);
        const std::uint64_t newRaw = align(bytes.size(), fileAlignment_);
        const std::uint64_t nextVa =
            r + 1 < count ? sections[r + 1].virtualAddress : ~std::uint64_t(0);
        const bool last = r + 1 == count && rawEnd(s) == image.size();
        if (bytes.size() <= s.rawSize && align(rva + bytes.size(), sectionAlignment_) <= nextVa) {
            placement = ResourcePlacement::InPlace;
            out = image;
            std::fill(out.begin() + s.rawOffset, out.begin() + rawEnd(s), 0);
            std::copy(bytes.begin(), bytes.end(), out.begin() + s.rawOffset);
            s.virtualSize = static_cast<std::uint32_t>(bytes.size());
        } else if (last) {
            placement = ResourcePlacement::Grown;
            out.assign(image.begin(), image.begin() + s.rawOffset);
            out.insert(out.end(), bytes.begin(), bytes.end());
            out.resize(s.rawOffset + newRaw, 0);
            initializedGrowth = std::int64_t(newRaw) - s.rawSize;
            s.rawSize = static_cast<std::uint32_t>(newRaw);
            s.virtualSize = static_cast<std::uint32_t>(bytes.size());
        } else {
            // The sections behind may move when nothing but the relocation directory points
            // into them, their data follows in the file in the same order, and nothing lies
            // behind the last of them.
            bool movable = rawEnd(sections[count - 1]) == image.size();
            for (std::size_t i = r + 1; i < count && movable; ++i) {
                movable = (sections[i].characteristics & kDiscardable) != 0 &&
                          sections[i].rawOffset == rawEnd(sections[i - 1]);
                for (std::uint32_t d = 0; d < directoryCount_ && movable; ++d) {
                    const std::uint32_t at = get32(image, directoriesOffset_ + 8 * d);
                    const bool inside = d != kCertificateDirectory && at != 0 &&
                                        at >= sections[i].virtualAddress &&
                                        at - sections[i].virtualAddress < loadedSize(sections[i]);
                    movable = !inside || d == kRelocationDirectory;
                }
            }
            if (movable) {
                placement = ResourcePlacement::FollowersMoved;
                const std::uint64_t newVaEnd = align(rva + bytes.size(), sectionAlignment_);
                const std::uint64_t vaShift = newVaEnd > sections[r + 1].virtualAddress
                                                  ? newVaEnd - sections[r + 1].virtualAddress
                                                  : 0;
                const std::uint64_t rawShift =
                    std::max<std::uint64_t>(s.rawOffset + newRaw, rawEnd(s)) - rawEnd(s);
                out.assign(image.begin(), image.begin() + s.rawOffset);
                out.insert(out.end(), bytes.begin(), bytes.end());
                out.resize(s.rawOffset + std::max<std::uint64_t>(newRaw, s.rawSize), 0);
                out.insert(out.end(), image.begin() + rawEnd(s), image.end());
                initializedGrowth =
                    std::int64_t(std::max<std::uint64_t>(newRaw, s.rawSize)) - s.rawSize;
                s.rawSize = static_cast<std::uint32_t>(std::max<std::uint64_t>(newRaw, s.rawSize));
                s.virtualSize = static_cast<std::uint32_t>(bytes.size());
                const std::uint64_t relocAt = directoriesOffset_ + 8ull * kRelocationDirectory;
                const std::uint32_t reloc =
                    directoryCount_ > kRelocationDirectory ? get32(out, relocAt) : 0;
                for (std::size_t i = r + 1; i < count; ++i) {
                    const std::uint32_t oldVa = sections[i].virtualAddress;
                    if (reloc != 0 && reloc >= oldVa && reloc - oldVa < loadedSize(sections[i])) {
                        set32(out, relocAt, static_cast<std::uint32_t>(reloc + vaShift));
                    }
                    sections[i].virtualAddress = static_cast<std::uint32_t>(oldVa + vaShift);
                    sections[i].rawOffset =
                        static_cast<std::uint32_t>(sections[i].rawOffset + rawShift);
                }
            }
        }
    }
    if (placement == ResourcePlacement::NewSection) {
        // A new section at the end of the image; the old one stays, unused.
        const std::uint64_t tableEnd = sectionTableOffset_ + kSectionHeaderSize * (count + 1ull);
        std::uint64_t firstData = sizeOfHeaders_;
        for (const PeSection& s : sections_) {
            if (s.rawSize != 0) {
                firstData = std::min<std::uint64_t>(firstData, s.rawOffset);
            }
        }
        if (tableEnd > firstData || count >= 0xFFFF) {
            fail("the stub has no room for another section header: its resources cannot grow",
                 "stub");
        }
        rva = static_cast<std::uint32_t>(align(imageEnd(sections_), sectionAlignment_));
        bytes = build(rva);
        const std::uint64_t rawAt = align(image.size(), fileAlignment_);
        const std::uint64_t newRaw = align(bytes.size(), fileAlignment_);
        out = image;
        out.resize(rawAt, 0);
        out.insert(out.end(), bytes.begin(), bytes.end());
        out.resize(rawAt + newRaw, 0);
        PeSection s;
        std::memcpy(s.name, ".rsrc\0\0", 8);
        s.virtualAddress = rva;
        s.virtualSize = static_cast<std::uint32_t>(bytes.size());
        s.rawOffset = static_cast<std::uint32_t>(rawAt);
        s.rawSize = static_cast<std::uint32_t>(newRaw);
        s.characteristics = kInitializedData | kReadable;
        sections.push_back(s);
        initializedGrowth = std::int64_t(newRaw);
        set16(out, peOffset_ + 4 + 2, static_cast<std::uint32_t>(sections.size()));
    }
    if (out.size() > 0xFFFFFFFFu || imageEnd(sections) > 0xFFFFFFFFu) {
        fail("the stub would grow past 4 GiB", "stub");
    }

    // The headers that depend on the section.
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const std::uint64_t at = sectionTableOffset_ + std::uint64_t(kSectionHeaderSize) * i;
        if (i >= count) {
            std::fill(out.begin() + at, out.begin() + at + kSectionHeaderSize, 0);
            std::memcpy(&out[at], sections[i].name, 8);
        }
        set32(out, at + 8, sections[i].virtualSize);
        set32(out, at + 12, sections[i].virtualAddress);
        set32(out, at + 16, sections[i].rawSize);
        set32(out, at + 20, sections[i].rawOffset);
        set32(out, at + 36, sections[i].characteristics);
    }
    set32(out, directoriesOffset_ + 8 * kResourceDirectory, rva);
    set32(out, directoriesOffset_ + 8 * kResourceDirectory + 4,
          static_cast<std::uint32_t>(bytes.size()));
    set32(out, optionalOffset_ + 56,
          static_cast<std::uint32_t>(align(imageEnd(sections), sectionAlignment_)));
    const std::int64_t initialized =
        std::int64_t(get32(out, optionalOffset_ + 8)) + initializedGrowth;
    set32(out, optionalOffset_ + 8,
          static_cast<std::uint32_t>(std::max<std::int64_t>(initialized, 0)));
    set32(out, optionalOffset_ + 64, peChecksum(out, optionalOffset_ + 64));
    image.swap(out);
    return placement;
}

std::uint32_t peChecksum(const std::vector<std::uint8_t>& image, std::uint32_t checksumOffset) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < image.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2ull) {
            continue;
        }
        std::uint32_t word = image[i];
        if (i + 1 < image.size()) {
            word |= static_cast<std::uint32_t>(image[i + 1]) << 8;
        }
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + image.size());
}

std::uint32_t peChecksum(std::istream& in, std::uint64_t size, std::uint32_t checksumOffset) {
    std::uint64_t sum = 0;
    std::uint64_t at = 0;
    std::vector<char> buffer(1 << 16);  // even, so that words never straddle two reads
    while (at < size) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            fail("cannot read the file made to compute its checksum");
        }
        for (std::size_t i = 0; i < got; i += 2, at += 2) {
            if (at == checksumOffset || at == checksumOffset + 2ull) {
                continue;
            }
            std::uint32_t word = static_cast<std::uint8_t>(buffer[i]);
            if (i + 1 < got) {
                word |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(buffer[i + 1])) << 8;
            }
            sum += word;
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + size);
}

std::uint32_t peChecksumOffset(const std::vector<std::uint8_t>& image) {
    return get32(image, 0x3C) + 4 + 20 + 64;
}

}  // namespace tools
