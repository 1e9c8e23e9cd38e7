#include "platform/Console.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>

#include "platform/win32/Wide.h"

namespace platform {

namespace {

HANDLE handleOf(StandardStream stream) {
    return GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

}  // namespace

// GetConsoleMode succeeds only on a console handle.
bool isConsole(StandardStream stream) {
    DWORD mode = 0;
    return GetConsoleMode(handleOf(stream), &mode) != FALSE;
}

bool writeConsole(StandardStream stream, const char* text, std::size_t length) {
    const win32::WideText characters = win32::wide(std::string(text, length));
    const HANDLE console = handleOf(stream);
    std::size_t done = 0;
    while (done < characters.size()) {
        DWORD written = 0;
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(characters.size() - done, 8192));
        if (!WriteConsoleW(console, characters.data() + done, chunk, &written, nullptr) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    const auto release = [](LPWSTR* list) { LocalFree(list); };
    const std::unique_ptr<LPWSTR, decltype(release)> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count), release);
    if (arguments == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i) {
        result.push_back(win32::narrow(arguments.get()[i], wcslen(arguments.get()[i])));
    }
    return result;
}

}  // namespace platform
