#include "archive/UnixPermissions.h"

#include "archive/Archive.h"

namespace vessel5 {

namespace {

constexpr unsigned kMadeOnUnix = 3;

}  // namespace

void keepUnixPermissions(Archive& archive) {
    archive.setKeepUnixPermissions(true);
}

std::uint32_t unixPermissionsOf(const FileItem& item) {
    const std::uint32_t mode = (item.externalAttributes >> 16) & 0777;
    return (item.versionMadeBy >> 8) == kMadeOnUnix ? mode : 0;
}

}  // namespace vessel5
