#include "app/Environment.h"

#include "platform/PrivateFolder.h"
#include "platform/Process.h"

namespace app {

std::string ProcessEnvironment::executablePath() {
    return platform::executablePath();
}

std::string ProcessEnvironment::folder(Folder which) {
    switch (which) {
        case Folder::windows:
            return platform::windowsFolder();
        case Folder::system:
            return platform::systemFolder();
        case Folder::temporary:
            return platform::temporaryFolder();
        case Folder::current:
            break;
    }
    return platform::currentFolder();
}

std::optional<std::string> ProcessEnvironment::resource(const std::string& name) {
    return lookup_ == nullptr ? std::nullopt : lookup_(name);
}

void ProcessEnvironment::start(const std::string& program, const std::string& commandLine) {
    platform::startCommand(program, commandLine);
}

bool ProcessEnvironment::startAndWait(const std::string& program, const std::string& commandLine,
                                      int& exitCode) {
    return platform::runCommand(program, commandLine, exitCode);
}

std::string ProcessEnvironment::makePrivateFolder() {
    return platform::makePrivateTemporaryFolder();
}

bool ProcessEnvironment::removeFolder(const std::string& path) {
    // A program that has just ended, or a scanner looking at its files, may hold them a moment
    // longer: 4 seconds in steps of a quarter.
    for (int attempt = 0;; ++attempt) {
        if (platform::removeTree(path)) {
            return true;
        }
        if (attempt == 15) {
            return false;
        }
        platform::pauseMilliseconds(250);
    }
}

}  // namespace app
