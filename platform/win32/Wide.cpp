#include "platform/win32/Wide.h"

#include <windows.h>

#include "base/Decimal.h"

namespace platform {
namespace win32 {

namespace {

// CreateDirectoryW refuses names from MAX_PATH - 12 characters on (room for an 8.3 name);
// everything at or past that length takes the long form.
constexpr std::size_t kLongFrom = MAX_PATH - 12;

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

}  // namespace

std::wstring wide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring result(n > 0 ? n : 0, L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &result[0], n);
    }
    return result;
}

std::string narrow(const wchar_t* text, std::size_t length) {
    if (length == 0) {
        return std::string();
    }
    const int size = static_cast<int>(length);
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    std::string result(n > 0 ? n : 0, '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, size, &result[0], n, nullptr, nullptr);
    }
    return result;
}

std::string narrow(const std::wstring& text) {
    return narrow(text.data(), text.size());
}

std::wstring fileName(const std::string& path) {
    std::wstring name = wide(path);
    if (name.size() < kLongFrom || startsWith(name, L"\\\\?\\") || startsWith(name, L"\\\\.\\")) {
        return name;
    }
    std::wstring full(name.size() + MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    }
    if (n == 0 || n >= full.size()) {
        return name;
    }
    full.resize(n);
    if (startsWith(full, L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    if (full.size() >= 2 && full[1] == L':') {
        return L"\\\\?\\" + full;
    }
    return name;
}

std::string errorText(unsigned long code) {
    wchar_t buffer[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buffer, sizeof buffer / sizeof buffer[0], nullptr);
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L' ' ||
                     buffer[n - 1] == L'.')) {
        --n;
    }
    if (n == 0) {
        return "system error " + generic::decimal(code);
    }
    return narrow(buffer, n);
}

}  // namespace win32
}  // namespace platform
