// The reading commands of the host tool: `zipsfx list`, `zipsfx test` and `zipsfx extract`.
// Each takes the arguments after the command word (argv[0] is the command word), prints its own
// output and messages, and returns the process exit code.
#pragma once

#include <iosfwd>

namespace tools {

// Exit codes, the same as the stub's: done, cancelled, error shown, other failure.
constexpr int kExitDone = 0;
constexpr int kExitCancelled = 1;
constexpr int kExitError = 2;
constexpr int kExitFailure = 3;

int runList(int argc, char** argv);
int runTest(int argc, char** argv);
int runExtract(int argc, char** argv);

// How to call the tool, for --help and usage errors.
void printUsage(std::ostream& out);

// Set from a Ctrl-C handler; the next progress or item notification then stops the run.
void requestCancel();
bool cancelRequested();

}  // namespace tools
