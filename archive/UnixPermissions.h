// Archives made on Unix record each file's permission bits; extracting on POSIX gives them back,
// so that an extracted script stays executable.
#pragma once

namespace vessel5 {

class Archive;

// Registers a handler, called as each extracted file is done, that applies the recorded Unix
// permission bits (read, write and execute only, masked by the umask) when the entry was made on
// Unix. Files made elsewhere keep what the system gave them; on Windows nothing changes.
void keepUnixPermissions(Archive& archive);

}  // namespace vessel5
