#include "tools/zipsfx/FileAttributes.h"

#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace tools {

std::uint32_t externalAttributes(const fs::path& path, bool folder) {
    fs::perms perms = fs::status(path).permissions();
    std::uint32_t dos = folder ? 0x10 : 0x20;  // directory / archive
    if ((perms & fs::perms::owner_write) == fs::perms::none) {
        dos |= 0x01;  // read-only
    }
    if (!platform::kUnixFileModes) {
        return dos;
    }
    std::uint32_t mode = static_cast<std::uint32_t>(perms & fs::perms::mask);
    mode |= folder ? 0040000u : 0100000u;
    return mode << 16 | dos;
}

std::uint16_t versionMadeBy() {
    // Made on Unix: the mode in the high half; made on MS-DOS/Windows: DOS attributes only.
    return platform::kUnixFileModes ? static_cast<std::uint16_t>((3 << 8) | 20) : 20;
}

}  // namespace tools
