// Starting the program named by the data resource "RUN" after an extraction: only a file this
// run wrote is ever started, under the name it was written to.
#pragma once

#include <string>
#include <vector>

#include "app/Environment.h"
#include "archive/Archive.h"

namespace app {

// The command line for the resource text `run` (a program name, optionally followed by
// arguments) started from `folder`: the program's path is quoted, the arguments follow
// unchanged. The text is split as sfx::splitRunLine says. The whole line is cut at the
// platform's longest path. An empty `run` gives an empty line.
struct LaunchCommand {
    std::string program;  // the program's path, unquoted
    std::string line;     // the whole command line
};
LaunchCommand launchCommand(const std::string& folder, const std::string& run);

// What became of the launch. A refusal (or, when waiting, a program that could not be started)
// carries the text to show.
struct LaunchResult {
    bool refused = false;
    std::string message;
    bool waited = false;  // the program ran to its end; exitCode is its code
    int exitCode = 0;
};

// Reads "RUN" and starts its program when it is a file of `written` (the files this run wrote,
// matched by stored name, so a renamed file or top-level folder is followed). A missing
// resource, empty text or a program the run did not write starts nothing. Refused, with a
// message: a program name that climbs out of the folder ("..") or is absolute, and a program
// that exists in the folder but was there before the run.
// `extra` are further arguments, each quoted for the line as one word after RUN's own. With
// `wait` the program is waited for and its exit code returned.
LaunchResult launch(Environment& environment, const std::string& folder,
                    const std::vector<vessel5::WrittenFile>& written,
                    const std::vector<std::string>& extra = {}, bool wait = false);

}  // namespace app
