#include "app/win32/ModuleResources.h"

#include <windows.h>

namespace app {
namespace win32 {

std::optional<std::string> moduleResource(const std::string& name) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
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
