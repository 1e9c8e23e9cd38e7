#include "platform/FileSystem.h"

#include <windows.h>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace platform {

using win32::fileName;

namespace {

HANDLE native(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

}  // namespace

FileHandle openFile(const std::string& path, OpenMode mode) {
    DWORD access = GENERIC_READ;
    DWORD share = 0;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = 0;
    switch (mode) {
        case OpenMode::Read:
            share = FILE_SHARE_READ | FILE_SHARE_WRITE;
            break;
        case OpenMode::ReadWrite:
            access = GENERIC_READ | GENERIC_WRITE;
            share = FILE_SHARE_READ;
            break;
        case OpenMode::Create:
            access = GENERIC_READ | GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            break;
        case OpenMode::CreateNew:
            access = GENERIC_READ | GENERIC_WRITE;
            disposition = CREATE_NEW;
            break;
        case OpenMode::QueryTimes:
            flags = FILE_FLAG_BACKUP_SEMANTICS;  // lets a folder be opened
            break;
        case OpenMode::ChangeTimes:
            access = GENERIC_WRITE;
            flags = FILE_FLAG_BACKUP_SEMANTICS;
            break;
    }
    HANDLE h =
        CreateFileW(fileName(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
    return reinterpret_cast<FileHandle>(h);
}

bool closeFile(FileHandle file) {
    return CloseHandle(native(file)) == TRUE;
}

bool readFile(FileHandle file, void* buffer, std::uint32_t length, std::uint32_t& done) {
    DWORD n = 0;
    BOOL ok = ReadFile(native(file), buffer, length, &n, nullptr);
    done = n;
    return ok != FALSE;
}

bool readFileAt(FileHandle file, std::uint64_t offset, void* buffer, std::uint32_t length,
                std::uint32_t& done) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    const BOOL ok = ReadFile(native(file), buffer, length, &n, &at);
    done = n;
    // Reading at or past the end is the end of the file, as with a plain read.
    return ok != FALSE || GetLastError() == ERROR_HANDLE_EOF;
}

bool writeFile(FileHandle file, const void* buffer, std::uint32_t length, std::uint32_t& done) {
    DWORD n = 0;
    BOOL ok = WriteFile(native(file), buffer, length, &n, nullptr);
    done = n;
    return ok != FALSE;
}

// With a high part, 0xFFFFFFFF is also a valid low half: only the error code tells failure.
bool filePosition(FileHandle file, std::uint64_t& position) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(native(file), 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        return false;
    }
    position = (static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | low;
    return true;
}

bool setFilePosition(FileHandle file, std::uint64_t position) {
    LONG high = static_cast<LONG>(static_cast<DWORD>(position >> 32));
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(native(file), static_cast<LONG>(static_cast<DWORD>(position)), &high,
                               FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool fileSize(FileHandle file, std::uint64_t& size) {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(native(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return false;
    }
    size = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
}

bool setEndOfFile(FileHandle file) {
    return SetEndOfFile(native(file)) != FALSE;
}

bool deleteFile(const std::string& path) {
    return DeleteFileW(fileName(path).c_str()) != FALSE;
}

std::uint32_t fileAttributes(const std::string& path) {
    return GetFileAttributesW(fileName(path).c_str());
}

bool setFileAttributes(const std::string& path, std::uint32_t attributes) {
    return SetFileAttributesW(fileName(path).c_str(), attributes) != FALSE;
}

bool createDirectory(const std::string& path) {
    return CreateDirectoryW(fileName(path).c_str(), nullptr) != FALSE;
}

// A result as large as the buffer is the length the name would need, not a name. The wide
// function handles names of any length; the limit is the program's own.
bool fullPathName(const std::string& path, std::string& absolute) {
    if (path.empty()) {
        return false;
    }
    const win32::WideText name = win32::wide(path);
    win32::WideText buffer(name.size() + MAX_PATH);
    DWORD n =
        GetFullPathNameW(name.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n >= buffer.size()) {
        buffer = win32::WideText(n);
        n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(),
                             nullptr);
    }
    if (n == 0 || n >= buffer.size()) {
        return false;
    }
    std::string result = win32::narrow(buffer.data(), n);
    if (result.size() >= kMaxPath) {
        return false;
    }
    absolute = result;
    return true;
}

bool setUnixPermissions(const std::string&, std::uint32_t) {
    return true;
}

}  // namespace platform
