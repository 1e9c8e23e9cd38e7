// Helpers shared by the io tests.
#pragma once

#include <string>

#include "io/File.h"
#include "platform/FileSystem.h"

namespace iotest {

// A handle value that was valid a moment ago: every call on it fails.
inline platform::FileHandle staleHandle(const std::string& path) {
    io::File file;
    file.open(path);
    platform::FileHandle handle = file.handle();
    file.close();
    return handle;
}

}  // namespace iotest
