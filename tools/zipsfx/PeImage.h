// The headers of a Windows executable that a new resource section depends on, and the rewrite
// that puts one in: in place when it fits, grown at the end of the image, by moving the
// discardable sections behind it (relocations), or as a new section at the end of the image.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <vector>

namespace tools {

// One section header as read.
struct PeSection {
    char name[9] = {};
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
    std::uint32_t characteristics = 0;
};

// How the resources found their new place (for the tests and `-v`).
enum class ResourcePlacement { InPlace, Grown, FollowersMoved, NewSection };

class PeImage {
  public:
    // Reads the headers; throws generic::exception (kind "stub") when the bytes are not a
    // sound Windows executable.
    explicit PeImage(const std::vector<std::uint8_t>& image);

    bool is64() const { return magic_ == 0x20B; }
    const std::vector<PeSection>& sections() const { return sections_; }
    // The resource directory as the data directory gives it; rva 0 when there is none.
    std::uint32_t resourceRva() const { return resourceRva_; }
    std::uint32_t resourceSize() const { return resourceSize_; }
    // The bytes of the section that holds the resource directory (empty without resources), and
    // that section's address and the directory's offset in it.
    std::vector<std::uint8_t> resourceSection(const std::vector<std::uint8_t>& image) const;
    std::uint32_t resourceSectionRva() const;

    // Puts a new resource section into the image. `build` makes the section's bytes for the
    // address it is given (the data entries hold addresses); it may be called more than once.
    // Fixes the section sizes, the image size, the initialised data size, the data directory
    // and the checksum. Throws generic::exception, leaving the image unchanged, when there is
    // no way to place the section.
    ResourcePlacement replaceResources(
        std::vector<std::uint8_t>& image,
        const std::function<std::vector<std::uint8_t>(std::uint32_t rva)>& build) const;

  private:
    std::uint32_t peOffset_ = 0;
    std::uint32_t optionalOffset_ = 0;
    std::uint16_t optionalSize_ = 0;
    std::uint16_t magic_ = 0;
    std::uint32_t sectionAlignment_ = 0;
    std::uint32_t fileAlignment_ = 0;
    std::uint32_t sizeOfHeaders_ = 0;
    std::uint32_t directoryCount_ = 0;
    std::uint32_t directoriesOffset_ = 0;
    std::uint32_t sectionTableOffset_ = 0;
    std::uint32_t resourceRva_ = 0;
    std::uint32_t resourceSize_ = 0;
    int resourceIndex_ = -1;  // the section holding the resource directory
    std::vector<PeSection> sections_;
};

// The checksum of the optional header over these bytes, as the loader computes it: 16-bit words
// added with end-around carry, the checksum field counted as zero, plus the length.
std::uint32_t peChecksum(const std::vector<std::uint8_t>& image, std::uint32_t checksumOffset);
// The same over a whole file of `size` bytes read from `in` (the stub, the mark and the archive
// behind it), for the file as shipped.
std::uint32_t peChecksum(std::istream& in, std::uint64_t size, std::uint32_t checksumOffset);
// Where the checksum field lies in this image.
std::uint32_t peChecksumOffset(const std::vector<std::uint8_t>& image);

}  // namespace tools
