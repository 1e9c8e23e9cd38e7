#include "app/Launch.h"

#include <algorithm>
#include <cctype>

#include "app/Destination.h"
#include "base/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "sfx/Layout.h"

namespace app {
namespace {

// The components of a relative name, '/' and '\' both separating, "." and empty ones dropped.
std::vector<std::string> components(const std::string& name) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : name + '/') {
        if (c == '/' || c == '\\') {
            if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    return parts;
}

bool isAbsolute(const std::string& name) {
    const bool drive =
        name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
    return drive || (!name.empty() && (name[0] == '/' || name[0] == '\\'));
}

// Windows names match whatever their case; POSIX names match exactly.
bool sameName(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!platform::kDriveLetters) {
            if (a[i] != b[i]) {
                return false;
            }
            continue;
        }
        const bool equal =
            std::equal(a[i].begin(), a[i].end(), b[i].begin(), b[i].end(), [](char x, char y) {
                return std::tolower(static_cast<unsigned char>(x)) ==
                       std::tolower(static_cast<unsigned char>(y));
            });
        if (!equal) {
            return false;
        }
    }
    return true;
}

std::string commandLine(const std::string& path, const std::string& arguments) {
    std::string line = platform::quoteProgramPath(path) + arguments;
    if (line.size() > platform::kMaxPathLength) {
        line.resize(platform::kMaxPathLength);
    }
    return line;
}

}  // namespace

LaunchCommand launchCommand(const std::string& folder, const std::string& run) {
    if (run.empty()) {
        return LaunchCommand();
    }
    const sfx::RunLine text = sfx::splitRunLine(run);
    const std::string path =
        folder.empty() ? text.program : folder + platform::kSeparator + text.program;
    return LaunchCommand{path, commandLine(path, text.arguments)};
}

LaunchResult launch(Environment& environment, const std::string& folder,
                    const std::vector<vessel5::WrittenFile>& written,
                    const std::vector<std::string>& extra, bool wait) {
    LaunchResult result;
    const auto block = environment.resource(sfx::kRunBlock);
    if (!block) {
        return result;
    }
    std::string run = block->substr(0, sfx::kMaxSettingsText);
    const std::size_t zero = run.find('\0');
    if (zero != std::string::npos) {
        run.resize(zero);
    }
    const base::RunText text = base::splitRunText(run);
    if (text.program.empty()) {
        return result;
    }
    const std::vector<std::string> wanted = components(text.program);
    if (isAbsolute(text.program) || wanted.empty() ||
        std::find(wanted.begin(), wanted.end(), "..") != wanted.end()) {
        result.refused = true;
        result.message = "The program to start after extracting, " + text.program +
                         ", lies outside the destination folder; nothing was started.";
        return result;
    }
    std::string arguments = text.arguments;
    for (const std::string& word : extra) {
        arguments += ' ';
        arguments += base::quoteArgument(word);
    }
    for (const vessel5::WrittenFile& file : written) {
        if (!sameName(components(file.storedName), wanted)) {
            continue;
        }
        const std::string line = commandLine(file.path, arguments);
        if (!wait) {
            environment.start(file.path, line);
        } else if (environment.startAndWait(file.path, line, result.exitCode)) {
            result.waited = true;
        } else {
            result.refused = true;
            result.message =
                "The program to start after extracting, " + file.path + ", could not be started.";
        }
        return result;
    }
    std::string present = folder;
    for (const std::string& part : wanted) {
        present += platform::kSeparator;
        present += part;
    }
    if (platform::fileAttributes(present) != platform::kInvalidAttributes) {
        result.refused = true;
        result.message = "The program to start after extracting, " + present +
                         ", was already there before extracting and was not written by it; "
                         "nothing was started.";
    }
    return result;
}

}  // namespace app
