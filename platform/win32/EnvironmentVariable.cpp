#include "platform/EnvironmentVariable.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace platform {

// The wide function, so that a value outside the ANSI code page arrives whole. It answers the
// size it needs (terminating zero included) when the buffer is too small, and 0 both for an
// unset variable and for an empty one, which only the last error tells apart.
std::optional<std::string> environmentVariable(const std::string& name) {
    const win32::WideText wideName = win32::wide(name);
    win32::WideText buffer(MAX_PATH);
    SetLastError(ERROR_SUCCESS);
    DWORD n =
        GetEnvironmentVariableW(wideName.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n >= buffer.size()) {
        buffer = win32::WideText(n);
        n = GetEnvironmentVariableW(wideName.c_str(), buffer.data(),
                                    static_cast<DWORD>(buffer.size()));
    }
    if (n == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return std::nullopt;
        }
        return std::string();
    }
    if (n >= buffer.size()) {
        return std::nullopt;  // changed between the two calls; treat it as not there
    }
    return win32::narrow(buffer.data(), n);
}

}  // namespace platform
