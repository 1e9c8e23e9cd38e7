#include "platform/Process.h"

#include <windows.h>
#include <cstdio>
#include <io.h>

#include "platform/win32/Wide.h"

namespace platform {

using win32::narrow;
using win32::WideText;

namespace {

// Asks with a buffer of the classic size first; the functions answer the size they need
// (terminating zero included) when it is too small.
template <typename Get>
std::string folderFrom(Get get) {
    WideText buffer(MAX_PATH);
    UINT n = get(buffer.data(), static_cast<UINT>(buffer.size()));
    if (n >= buffer.size()) {
        buffer = WideText(n);
        n = get(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (n == 0 || n >= buffer.size()) {
        return std::string();
    }
    return narrow(buffer.data(), n);
}

}  // namespace

// GetModuleFileNameW fills the buffer and truncates when it is too small: grow until it fits.
std::string executablePath() {
    WideText buffer(MAX_PATH);
    while (buffer.size() <= 32768) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return std::string();
        }
        if (n < buffer.size()) {
            return narrow(buffer.data(), n);
        }
        buffer = WideText(buffer.size() * 2);
    }
    return std::string();
}

std::string currentFolder() {
    return folderFrom(
        [](wchar_t* buffer, UINT size) -> UINT { return GetCurrentDirectoryW(size, buffer); });
}

std::string windowsFolder() {
    return folderFrom(GetWindowsDirectoryW);
}

std::string systemFolder() {
    return folderFrom(GetSystemDirectoryW);
}

std::string temporaryFolder() {
    return folderFrom(
        [](wchar_t* buffer, UINT size) -> UINT { return GetTempPathW(size, buffer); });
}

std::string quoteProgramPath(const std::string& path) {
    return "\"" + path + "\"";
}

namespace {

// As WinExec did: the system finds the program from the command line. A program path too long
// for that search is named to the system directly, in its long form.
bool createProcess(const std::string& program, const std::string& commandLine,
                   PROCESS_INFORMATION& started) {
    win32::WideText line = win32::wide(commandLine);
    const win32::WideText application = win32::fileName(program);
    const bool named = application.startsWith(L"\\\\?\\");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    started = PROCESS_INFORMATION{};
    if (!CreateProcessW(named ? application.c_str() : nullptr, line.data(), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    return true;
}

}  // namespace

void startCommand(const std::string& program, const std::string& commandLine) {
    PROCESS_INFORMATION started;
    if (createProcess(program, commandLine, started)) {
        CloseHandle(started.hProcess);
    }
}

bool runCommand(const std::string& program, const std::string& commandLine, int& exitCode) {
    PROCESS_INFORMATION started;
    if (!createProcess(program, commandLine, started)) {
        return false;
    }
    DWORD code = 0;
    const bool ended = WaitForSingleObject(started.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    // The whole 32 bits, as the system hands them on to whoever waits for the stub.
    exitCode = static_cast<int>(code);
    return ended;
}

void restrictLibrarySearch() {
    // SetDefaultDllDirectories exists from Windows 8 (and 7 with KB2533623); look it up so that
    // the program still starts where it is missing, and fall back to taking the current folder
    // out of the search.
    using SetDefault = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel == nullptr
                                ? nullptr
                                : reinterpret_cast<SetDefault>(reinterpret_cast<void (*)()>(
                                      GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L"");
    }
}

bool stderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace platform
