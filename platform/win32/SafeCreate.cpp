// The file system calls of creating output without replacing anything: folders that must be
// real folders, the reason of a failure, the free space before writing.
#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/win32/Wide.h"

namespace platform {

bool makeDirectory(const std::string& path, bool& created) {
    created = false;
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (CreateDirectoryW(win32::fileName(path).c_str(), nullptr)) {
        created = true;
        return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    // Taken: only a real folder will do, never a junction or a link to one.
    const DWORD attributes = GetFileAttributesW(win32::fileName(path).c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (!folder) {
        SetLastError(ERROR_ALREADY_EXISTS);
    }
    return folder;
}

bool freeSpace(const std::string& folder, std::uint64_t& bytes) {
    ULARGE_INTEGER available{};
    if (folder.empty() ||
        !GetDiskFreeSpaceExW(win32::fileName(folder).c_str(), &available, nullptr, nullptr)) {
        return false;
    }
    bytes = available.QuadPart;
    return true;
}

bool nameWasTaken() {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

std::string lastFailureText() {
    return win32::errorText(GetLastError());
}

bool setUnixPermissionsOf(FileHandle, std::uint32_t) {
    return true;
}

bool newFileHasUnixPermissions(std::uint32_t) {
    return true;
}

}  // namespace platform
