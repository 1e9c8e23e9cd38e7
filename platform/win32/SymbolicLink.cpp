#include "platform/FileSystem.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace platform {

bool createSymbolicLink(const std::string&, const std::string&) {
    return false;  // links are written as files holding their targets
}

bool isSymbolicLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32::fileName(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool isRealFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32::fileName(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

}  // namespace platform
