#include "platform/Process.h"

#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

namespace platform {

std::string executablePath() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return std::string();
    }
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string currentFolder() {
    std::vector<char> buffer(PATH_MAX + 1);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return std::string();
    }
    return std::string(buffer.data());
}

std::string windowsFolder() {
    return currentFolder();
}

std::string systemFolder() {
    return currentFolder();
}

std::string temporaryFolder() {
    const char* tmp = ::getenv("TMPDIR");
    if (tmp != nullptr && *tmp != '\0') {
        return tmp;
    }
    return "/tmp";
}

std::string quoteProgramPath(const std::string& path) {
    // Single quotes keep everything literal for the shell; a quote itself is closed, escaped and
    // reopened.
    std::string quoted = "'";
    for (char c : path) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

void startCommand(const std::string& program, const std::string& commandLine) {
    if (::access(program.c_str(), F_OK) != 0) {
        return;  // as on Windows: a missing program starts nothing and says nothing
    }
    // Prepare everything the child needs before forking: only async-signal-safe calls after it.
    const char* argv[] = {"sh", "-c", commandLine.c_str(), nullptr};
    const pid_t child = ::fork();
    if (child != 0) {
        return;  // parent (or fork failure): not waited for, outcome not reported
    }
    // The started program outlives the stub and must not die with its terminal's Ctrl-C.
    ::setsid();
    ::signal(SIGINT, SIG_DFL);
    ::execv("/bin/sh", const_cast<char* const*>(argv));
    ::_exit(127);
}

void restrictLibrarySearch() {}

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

}  // namespace platform
