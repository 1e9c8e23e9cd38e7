#include "app/posix/EmbeddedResources.h"

#include <cstdint>
#include <cstring>

#include "platform/MappedFile.h"
#include "platform/Process.h"

namespace {

// Layout known to the builder: destination first, then run; both zero-padded.
struct ResourceBlocks {
    char destination[sfx::kSettingsBlockSize];
    char run[sfx::kSettingsBlockSize];
};
static_assert(sizeof(ResourceBlocks) == 2 * sfx::kSettingsBlockSize,
              "the builder relies on two packed blocks");

}  // namespace

// Not static and marked used, so that neither the compiler nor the linker drops the section.
extern "C" {
__attribute__((section(ZIPSFX_SETTINGS_SECTION), used))
ResourceBlocks zipsfx_resources = {{0}, "setup.sh"};
__attribute__((section(ZIPSFX_OPTIONS_SECTION),
               used)) char zipsfx_options[sfx::kOptionsBlockSize] = {0};

// The shipper's texts lie behind the ELF image; this table says where (sfx/Layout.h).
__attribute__((section(ZIPSFX_TEXTS_SECTION),
               used)) unsigned char zipsfx_texts[sfx::kTextTableSize] = {0};
}

namespace {

std::uint32_t littleEndian32(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// The text of that entry of the table, read from the program's own file; nothing when the entry
// is empty or points outside the file.
std::optional<std::string> shippedText(std::size_t index) {
    const unsigned char* table = zipsfx_texts;
    asm volatile("" : "+r"(table));  // rewritten after linking, as the blocks are
    const std::uint32_t offset = littleEndian32(table + index * sfx::kTextTableEntrySize);
    const std::uint32_t length = littleEndian32(table + index * sfx::kTextTableEntrySize + 4);
    if (length == 0) {
        return std::nullopt;
    }
    platform::MappedFile file;
    if (!file.open(platform::executablePath()) || offset > file.size() ||
        length > file.size() - offset) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(file.data()) + offset, length);
}

}  // namespace

namespace app {
namespace posix {

std::optional<std::string> embeddedResource(const std::string& name) {
    for (std::size_t i = 0; i < sfx::kTextCount; ++i) {
        if (name == sfx::kTextNames[i]) {
            return shippedText(i);
        }
    }
    const char* block = nullptr;
    if (name == sfx::kDestinationBlock) {
        block = zipsfx_resources.destination;
    } else if (name == sfx::kRunBlock) {
        block = zipsfx_resources.run;
    } else if (name == sfx::kOptionsBlock) {
        block = zipsfx_options;
    } else {
        return std::nullopt;
    }
    const std::size_t size =
        block == zipsfx_options ? sfx::kOptionsBlockSize : sfx::kSettingsBlockSize;
    // The bytes in the file are rewritten after linking: read them through a barrier so that
    // the compiler cannot substitute the initial values it saw.
    asm volatile("" : "+r"(block));
    std::string bytes(size, '\0');
    std::memcpy(&bytes[0], block, size);
    return bytes;
}

}  // namespace posix
}  // namespace app
