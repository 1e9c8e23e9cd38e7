// The attribute bits a stored entry carries: DOS attributes, and on a system with Unix modes the
// mode in the high half, as the "version made by" field announces.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tools {

// The external attributes of a file or folder as this system keeps them.
std::uint32_t externalAttributes(const std::filesystem::path& path, bool folder);

// The "version made by" field that goes with those attributes: Zip 2.0, made on Unix or on
// MS-DOS/Windows.
std::uint16_t versionMadeBy();

}  // namespace tools
