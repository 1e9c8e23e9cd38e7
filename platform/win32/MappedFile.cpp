#include "platform/MappedFile.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace platform {

bool MappedFile::open(const std::string& path) {
    close();
    HANDLE file = CreateFileW(win32::fileName(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    file_ = reinterpret_cast<std::intptr_t>(file);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    const std::uint64_t fileSize = (static_cast<std::uint64_t>(high) << 32) | low;
    const std::uint64_t length = fileSize < kViewLimit ? fileSize : kViewLimit;
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    mapping_ = reinterpret_cast<std::intptr_t>(mapping);
    if (mapping != nullptr) {
        view_ = static_cast<const std::uint8_t*>(
            MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(length)));
    }
    if (view_ == nullptr) {
        close();
        return false;
    }
    sizeLow_ = low;
    size_ = length;
    fileSize_ = fileSize;
    return true;
}

void MappedFile::close() {
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
        view_ = nullptr;
    }
    if (mapping_ != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(mapping_));
        mapping_ = 0;
    }
    if (reinterpret_cast<HANDLE>(file_) != INVALID_HANDLE_VALUE) {
        CloseHandle(reinterpret_cast<HANDLE>(file_));
        file_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
    }
    sizeLow_ = 0;
    size_ = 0;
    fileSize_ = 0;
}

}  // namespace platform
