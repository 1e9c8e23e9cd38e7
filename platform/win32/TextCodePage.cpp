#include "platform/TextCodePage.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace platform {

bool oemToUtf8(const std::string& bytes, std::string& utf8) {
    utf8.clear();
    if (bytes.empty()) {
        return true;
    }
    // Names are at most 65,535 bytes (a 16-bit length), so the counts fit an int.
    const int length = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), length, nullptr, 0);
    if (wide <= 0) {
        return false;
    }
    win32::WideText text(static_cast<std::size_t>(wide));
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), length, text.data(), wide);
    const int narrow =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0) {
        return false;
    }
    utf8.assign(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, &utf8[0], narrow, nullptr, nullptr);
    return true;
}

}  // namespace platform
