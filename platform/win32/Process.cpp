#include "platform/Process.h"

#include <windows.h>
#include <cstdio>
#include <io.h>

#include "platform/Platform.h"

namespace platform {

namespace {

using FolderFunction = UINT(WINAPI*)(LPSTR, UINT);

std::string folderFrom(FolderFunction get) {
    char buffer[kMaxPath] = {};
    const UINT n = get(buffer, kMaxPath);
    if (n == 0 || n >= kMaxPath) {
        return std::string();
    }
    return std::string(buffer, n);
}

UINT WINAPI currentDirectory(LPSTR buffer, UINT size) {
    return GetCurrentDirectoryA(size, buffer);
}

UINT WINAPI temporaryPath(LPSTR buffer, UINT size) {
    return GetTempPathA(size, buffer);
}

}  // namespace

std::string executablePath() {
    char buffer[kMaxPath] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buffer, kMaxPath);
    if (n == 0 || n >= kMaxPath) {
        return std::string();
    }
    return std::string(buffer, n);
}

std::string currentFolder() {
    return folderFrom(currentDirectory);
}

std::string windowsFolder() {
    return folderFrom(GetWindowsDirectoryA);
}

std::string systemFolder() {
    return folderFrom(GetSystemDirectoryA);
}

std::string temporaryFolder() {
    return folderFrom(temporaryPath);
}

std::string quoteProgramPath(const std::string& path) {
    return "\"" + path + "\"";
}

void startCommand(const std::string&, const std::string& commandLine) {
    WinExec(commandLine.c_str(), SW_SHOWNORMAL);
}

void restrictLibrarySearch() {
    // SetDefaultDllDirectories exists from Windows 8 (and 7 with KB2533623); look it up so that
    // the program still starts where it is missing, and fall back to taking the current folder
    // out of the search.
    using SetDefault = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto setDefault = kernel == nullptr
                                ? nullptr
                                : reinterpret_cast<SetDefault>(reinterpret_cast<void (*)()>(
                                      GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryA("");
    }
}

bool stderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace platform
