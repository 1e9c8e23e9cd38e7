// The POSIX stub's version, as an ELF note ("readelf -n" shows it) that `zipsfx info` reads back
// from a self-extracting file. Notes are kept by the linker's section collection and land in a
// segment of their own; nothing in the stub reads this one.
#include <cstdint>

#include "base/Version.h"
#include "sfx/Layout.h"

namespace {

constexpr std::uint32_t align4(std::uint32_t size) {
    return (size + 3) & ~3u;
}

// An ELF note: three words, then the owner's name and the descriptor, each padded to 4 bytes.
struct VersionNote {
    std::uint32_t nameSize;
    std::uint32_t descriptorSize;
    std::uint32_t type;
    char name[align4(sizeof(ZIPSFX_VERSION_NOTE_OWNER))];
    char descriptor[align4(sizeof(ZIPSFX_VERSION))];
};

}  // namespace

extern "C" {
__attribute__((section(ZIPSFX_VERSION_NOTE_SECTION), used, aligned(4)))
const VersionNote zipsfx_version_note = {sizeof(ZIPSFX_VERSION_NOTE_OWNER), sizeof(ZIPSFX_VERSION),
                                         ZIPSFX_VERSION_NOTE_TYPE, ZIPSFX_VERSION_NOTE_OWNER,
                                         ZIPSFX_VERSION};
}
