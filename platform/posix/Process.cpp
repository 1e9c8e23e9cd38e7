#include "platform/Process.h"

#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "base/CommandLine.h"

namespace platform {

// Linux only: other POSIX systems have no /proc/self/exe, and the empty answer tells the
// callers that the path is unknown.
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
    // The line is split by the same rule as on Windows (never by a shell), so the path is
    // quoted the same way and always, as the Windows backend does.
    const std::string quoted = base::quoteArgument(path);
    return !quoted.empty() && quoted[0] == '"' ? quoted : '"' + quoted + '"';
}

void startCommand(const std::string& program, const std::string& commandLine) {
    if (::access(program.c_str(), F_OK) != 0) {
        return;  // as on Windows: a missing program starts nothing and says nothing
    }
    // No shell: the words go to the program as they are, so ';', '|' or '$(...)' in the
    // arguments start nothing else. The program is the path given, whatever the first word says.
    // Everything the child needs is prepared before forking: only async-signal-safe calls after.
    std::vector<std::string> words = base::splitArguments(commandLine);
    if (words.empty()) {
        words.push_back(program);
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child != 0) {
        return;  // parent (or fork failure): not waited for, outcome not reported
    }
    // The started program outlives the stub and must not die with its terminal's Ctrl-C.
    ::setsid();
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

void restrictLibrarySearch() {}

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

}  // namespace platform
