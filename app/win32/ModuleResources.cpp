#include "app/win32/ModuleResources.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace app {
namespace win32 {

std::optional<std::string> moduleResource(const std::string& name) {
    // Resource names are ASCII; the bytes are the program's own text, UTF-8.
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, platform::win32::wide(name).c_str(),
                                      MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (found == nullptr) {
        return std::nullopt;
    }
    const HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
    if (data == nullptr) {
        return std::nullopt;
    }
    return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

}  // namespace win32
}  // namespace app
