#include "platform/Process.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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

namespace {

// The program's arguments from its command line: no shell, so ';', '|' or '$(...)' in the
// arguments start nothing else. The first word is the program's name as written.
std::vector<std::string> argumentWords(const std::string& program, const std::string& commandLine) {
    std::vector<std::string> words = base::splitArguments(commandLine);
    if (words.empty()) {
        words.push_back(program);
    }
    return words;
}

std::vector<char*> pointers(std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

void startCommand(const std::string& program, const std::string& commandLine) {
    if (::access(program.c_str(), F_OK) != 0) {
        return;  // as on Windows: a missing program starts nothing and says nothing
    }
    // The program is the path given, whatever the first word says. Everything the child needs
    // is prepared before forking: only async-signal-safe calls after.
    std::vector<std::string> words = argumentWords(program, commandLine);
    std::vector<char*> argv = pointers(words);
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

bool runCommand(const std::string& program, const std::string& commandLine, int& exitCode) {
    std::vector<std::string> words = argumentWords(program, commandLine);
    std::vector<char*> argv = pointers(words);
    // The child reports a failed exec through this pipe, which a successful exec closes: a
    // program's own 127 is then never taken for "not started".
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // Waited for, the program stays in the stub's session and process group: it may use
        // the terminal, and Ctrl-C reaches it as it reaches the stub.
        ::close(report[0]);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGHUP, SIG_DFL);
        ::execv(program.c_str(), argv.data());
        const int failure = errno;
        (void)!::write(report[1], &failure, sizeof failure);
        ::_exit(127);
    }
    ::close(report[1]);
    int failure = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    // A Ctrl-C meant for the program interrupts the wait too: wait on.
    int status = 0;
    pid_t ended;
    do {
        ended = ::waitpid(child, &status, 0);
    } while (ended < 0 && errno == EINTR);
    if (got > 0 || ended != child) {
        return false;
    }
    exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    return true;
}

void restrictLibrarySearch() {}

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

}  // namespace platform
