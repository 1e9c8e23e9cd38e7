// Archives made on Unix record each file's permission bits; extracting on POSIX gives them back,
// so that an extracted script stays executable.
#pragma once

#include <cstdint>

namespace vessel5 {

class Archive;
class FileItem;

// Asks the archive's reader to apply the recorded Unix permission bits (read, write and execute
// only, masked by the umask) to each extracted file, through the file still open, when the
// entry was made on Unix. Files made elsewhere keep what the system gave them; on Windows
// nothing changes.
void keepUnixPermissions(Archive& archive);

// The bits to apply to the item's file, or 0 for none.
std::uint32_t unixPermissionsOf(const FileItem& item);

}  // namespace vessel5
