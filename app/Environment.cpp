#include "app/Environment.h"

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

}  // namespace app
