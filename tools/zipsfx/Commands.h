// The reading commands of the host tool: `zipsfx list`, `zipsfx test` and `zipsfx extract`.
// Each takes the arguments after the command word (argv[0] is the command word), writes its
// results and messages to the console and returns the process exit code.
#pragma once

#include <iosfwd>

#include "sfx/Layout.h"
#include "tools/zipsfx/Console.h"

namespace tools {

// Exit codes, the same as the self-extracting program's: done, cancelled, error shown, other
// failure (usage errors included).
constexpr int kExitDone = sfx::kExitDone;
constexpr int kExitCancelled = sfx::kExitCancelled;
constexpr int kExitError = sfx::kExitErrorShown;
constexpr int kExitFailure = sfx::kExitOtherFailure;

int runList(int argc, char** argv, const Console& console);
int runTest(int argc, char** argv, const Console& console);
int runExtract(int argc, char** argv, const Console& console);

// How to call the tool, for --help and usage errors.
void printUsage(std::ostream& out);

// Set from a Ctrl-C handler; the next notification of the run then cancels it.
void requestCancel();
bool cancelRequested();
// Clears the request, for a fresh run in the same process.
void clearCancel();

}  // namespace tools
