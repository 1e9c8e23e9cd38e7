// Starting the program named by the data resource "RUN" from the folder that was just
// extracted into.
#pragma once

#include <string>

#include "app/Environment.h"

namespace app {

// The command line for the resource text `run` (a program name, optionally followed by
// arguments) started from `folder`: the program's path is quoted, the arguments follow
// unchanged. The program name is the text up to the first blank, or, when the text begins
// with a double quote, the text up to the closing quote. The whole line is cut at the
// platform's longest path. An empty `run` gives an empty line.
struct LaunchCommand {
    std::string program;  // the program's path, unquoted
    std::string line;     // the whole command line
};
LaunchCommand launchCommand(const std::string& folder, const std::string& run);
inline std::string launchCommandLine(const std::string& folder, const std::string& run) {
    return launchCommand(folder, run).line;
}

// Reads "RUN" and starts its command line; a missing resource or empty text starts nothing.
void launch(Environment& environment, const std::string& folder);

}  // namespace app
