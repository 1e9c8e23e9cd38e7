#include "platform/win32/Wide.h"

#include <windows.h>

#include "base/Decimal.h"

namespace platform {
namespace win32 {

namespace {

// CreateDirectoryW refuses names from MAX_PATH - 12 characters on (room for an 8.3 name);
// everything at or past that length takes the long form.
constexpr std::size_t kLongFrom = MAX_PATH - 12;

// prefix followed by text's characters from `from` on.
WideText joined(const wchar_t* prefix, const WideText& text, std::size_t from) {
    const std::size_t head = wcslen(prefix);
    WideText result(head + text.size() - from);
    wmemcpy(result.data(), prefix, head);
    wmemcpy(result.data() + head, text.c_str() + from, text.size() - from);
    return result;
}

}  // namespace

WideText::WideText(std::size_t length) : text_(new wchar_t[length + 1]()), size_(length) {}

bool WideText::startsWith(const wchar_t* prefix) const {
    const std::size_t length = wcslen(prefix);
    return length <= size_ && wmemcmp(c_str(), prefix, length) == 0;
}

void WideText::shorten(std::size_t length) {
    if (length < size_) {
        size_ = length;
        text_[length] = L'\0';
    }
}

WideText wide(const std::string& text) {
    if (text.empty()) {
        return WideText();
    }
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    WideText result(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), n);
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

std::string narrow(const WideText& text) {
    return narrow(text.data(), text.size());
}

WideText fileName(const std::string& path) {
    WideText name = wide(path);
    if (name.size() < kLongFrom || name.startsWith(L"\\\\?\\") || name.startsWith(L"\\\\.\\")) {
        return name;
    }
    WideText full(name.size() + MAX_PATH);
    DWORD n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full = WideText(n);
        n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) {
        return name;
    }
    full.shorten(n);
    if (full.startsWith(L"\\\\")) {
        return joined(L"\\\\?\\UNC\\", full, 2);
    }
    if (full.size() >= 2 && full.c_str()[1] == L':') {
        return joined(L"\\\\?\\", full, 0);
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
