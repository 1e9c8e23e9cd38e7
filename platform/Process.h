// What the stub needs of its own process: where its executable lives, the special folders a
// default destination may name, and starting a program after extraction.
#pragma once

#include <string>

namespace platform {

// Full path of the running program's own file; empty when the system cannot tell.
std::string executablePath();

// The special folders, as the system reports them (a trailing separator may remain); empty when
// the system cannot tell. On POSIX the Windows and system folders have no meaning and give the
// current folder; the temporary folder is $TMPDIR, or /tmp.
std::string currentFolder();
std::string windowsFolder();
std::string systemFolder();
std::string temporaryFolder();

// Quotes a program path for a command line, so that blanks in it do not split it (double
// quotes on both platforms).
std::string quoteProgramPath(const std::string& path);

// Starts a command line (the quoted `program` path and its arguments) and does not wait for it.
// The outcome is not reported: a program that cannot be started is not an error of the caller,
// and a missing program starts nothing at all. POSIX splits the line into the program's
// arguments by the Windows rule (base/CommandLine.h) and starts `program` itself, never a shell.
void startCommand(const std::string& program, const std::string& commandLine);

// Starts a command line as startCommand does and waits for the program to end. True, with its
// exit code, when it ran (POSIX: a death by signal N gives 128 + N, as shells report it); false
// when it could not be started. POSIX keeps the program in the caller's session and process
// group, so that it may use the terminal and takes Ctrl-C with it.
bool runCommand(const std::string& program, const std::string& commandLine, int& exitCode);

// Whether standard error goes to a terminal (a person watching) rather than a pipe or a file.
bool stderrIsTerminal();

// Restricts where libraries loaded later on may come from (the system folder only), so that a
// file planted beside the program is never loaded in its place. Nothing to do on POSIX.
void restrictLibrarySearch();

}  // namespace platform
