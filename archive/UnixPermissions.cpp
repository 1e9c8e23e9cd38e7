#include "archive/UnixPermissions.h"

#include "archive/Archive.h"
#include "platform/FileSystem.h"

namespace vessel5 {

namespace {

constexpr unsigned kMadeOnUnix = 3;

bool applyPermissions(void* user) {
    const FileItem& item = static_cast<Archive*>(user)->currentItem();
    const std::uint32_t mode = (item.externalAttributes >> 16) & 0777;
    if ((item.versionMadeBy >> 8) == kMadeOnUnix && mode != 0 && !item.name.empty()) {
        // A file whose bits cannot be set keeps its contents: that is no reason to fail.
        platform::setUnixPermissions(item.name, mode);
    }
    return true;
}

}  // namespace

void keepUnixPermissions(Archive& archive) {
    archive.onItemDone(&applyPermissions, &archive);
}

}  // namespace vessel5
