#include "app/Launch.h"

#include "app/Destination.h"
#include "platform/Platform.h"
#include "platform/Process.h"

namespace app {

LaunchCommand launchCommand(const std::string& folder, const std::string& run) {
    if (run.empty()) {
        return LaunchCommand();
    }
    std::string program;
    std::string arguments;
    if (run[0] == '"') {
        const std::size_t close = run.find('"', 1);
        program = run.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        arguments = close == std::string::npos ? std::string() : run.substr(close + 1);
    } else {
        const std::size_t blank = run.find_first_of(" \t");
        program = run.substr(0, blank);
        arguments = blank == std::string::npos ? std::string() : run.substr(blank);
    }
    const std::string path = folder.empty() ? program : folder + platform::kSeparator + program;
    std::string line = platform::quoteProgramPath(path) + arguments;
    if (line.size() > platform::kMaxPathLength) {
        line.resize(platform::kMaxPathLength);
    }
    return LaunchCommand{path, line};
}

void launch(Environment& environment, const std::string& folder) {
    const auto block = environment.resource("RUN");
    if (!block) {
        return;
    }
    std::string run = block->substr(0, kMaxResourceText);
    const std::size_t zero = run.find('\0');
    if (zero != std::string::npos) {
        run.resize(zero);
    }
    const LaunchCommand command = launchCommand(folder, run);
    if (!command.line.empty()) {
        environment.start(command.program, command.line);
    }
}

}  // namespace app
