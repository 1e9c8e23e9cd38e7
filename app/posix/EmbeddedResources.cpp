#include "app/posix/EmbeddedResources.h"

#include <cstring>

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
}

namespace app {
namespace posix {

std::optional<std::string> embeddedResource(const std::string& name) {
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
