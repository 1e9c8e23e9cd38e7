#include "tools/zipsfx/Commands.h"

#include <atomic>
#include <ostream>
#include <string>

#include "archive/UnixPermissions.h"
#include "archive/Archive.h"
#include "archive/Threads.h"
#include "archive/Wipe.h"
#include "base/Exception.h"
#include "base/Utf8.h"
#include "platform/PasswordPrompt.h"
#include "platform/Process.h"
#include "tools/zipsfx/ArchiveStart.h"
#include "tools/zipsfx/CheckingReader.h"
#include "tools/zipsfx/Listing.h"
#include "tools/zipsfx/PasswordFile.h"
#include "tools/zipsfx/ProgressLine.h"

namespace tools {

namespace {

std::atomic<bool> cancelled{false};

struct Arguments {
    std::string file;
    std::string folder;
    bool quiet = false;
    // -P PASSWORD, or the file of --password-file (read once the arguments make sense).
    bool hasPassword = false;
    std::string password;
    std::string passwordFile;
    std::string error;  // empty when the arguments make sense
};

// FILE, then for extract: -d DIR and -q in any order; for extract and test: -P PASSWORD or
// --password-file FILE.
Arguments parse(int argc, char** argv, bool extractOptions, bool passwordOptions) {
    Arguments result;
    const std::string command = argv[0];
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (passwordOptions && (argument == "-P" || argument == "--password-file")) {
            if (i + 1 >= argc) {
                result.error = argument + " needs " + (argument == "-P" ? "a password" : "a file");
                return result;
            }
            result.hasPassword = true;
            (argument == "-P" ? result.password : result.passwordFile) = argv[++i];
        } else if (extractOptions && argument == "-q") {
            result.quiet = true;
        } else if (extractOptions && argument == "-d") {
            if (i + 1 >= argc) {
                result.error = "-d needs a folder";
                return result;
            }
            result.folder = argv[++i];
        } else if (argument.size() > 1 && argument[0] == '-') {
            result.error = "unknown option " + argument + " for " + command;
            return result;
        } else if (result.file.empty()) {
            result.file = argument;
        } else {
            result.error = "one archive at a time, not also " + argument;
            return result;
        }
    }
    if (result.file.empty() && result.error.empty()) {
        result.error = command + " needs an archive";
    }
    return result;
}

int usageError(const Console& console, const std::string& problem) {
    console.err << "zipsfx: " << problem << "\n";
    printUsage(console.err);
    return kExitFailure;
}

// Runs a command body and turns its failure into the stub's text and exit code.
template <typename Body>
int guarded(const Console& console, ProgressLine* line, Body body) {
    try {
        return body();
    } catch (const brindle5::exception::Evacuation&) {
        if (line != nullptr) {
            line->finish();
        }
        return kExitCancelled;
    } catch (const generic::exception& e) {
        if (line != nullptr) {
            line->finish();
        }
        // Messages quote entry names, which may hold control characters.
        console.err << base::printableText(generic::describe(e)) << "\n";
        return kExitError;
    } catch (const std::exception& e) {
        if (line != nullptr) {
            line->finish();
        }
        console.err << "zipsfx: " << e.what() << "\n";
        return kExitFailure;
    }
}

// What the notification handlers of one run share.
struct RunState {
    vessel5::Archive& archive;
    ProgressLine& line;
    std::ostream& err;
};

bool goOn(void*) {
    return !cancelRequested();
}

bool onStarted(std::uint64_t total, void* user) {
    static_cast<RunState*>(user)->line.setTotal(total);
    return true;
}

bool onItemStarted(std::uint64_t, void* user) {
    auto* state = static_cast<RunState*>(user);
    state->line.setName(state->archive.currentItem().name);
    return !cancelRequested();
}

bool onProgress(std::uint64_t done, void* user) {
    auto* state = static_cast<RunState*>(user);
    // With several threads, entries end in order: the line names the one the run waits for.
    const std::string& name = state->archive.currentItem().name;
    if (!name.empty()) {
        state->line.setName(name);
    }
    state->line.setDone(done);
    return !cancelRequested();
}

// An entry that is not written (a link leading outside, a name with nothing left) is told on
// the error output; the run goes on.
bool onItemSkipped(const std::string& text, void* user) {
    auto* state = static_cast<RunState*>(user);
    state->line.finish();
    state->err << "zipsfx: skipped " << base::printableText(text) << "\n";
    return true;
}

// Without -P or --password-file, a person at the terminal is asked.
bool onPasswordWanted(std::uint64_t wrongTries, void* user) {
    auto* state = static_cast<RunState*>(user);
    state->line.finish();
    if (wrongTries > 0) {
        state->err << "zipsfx: wrong password\n";
    }
    std::string password;
    if (!platform::askHidden(
            "Password for " + base::printableText(state->archive.passwordEntry()) + ": ",
            password)) {
        return false;
    }
    state->archive.setPassword(password);
    vessel5::wipe(password);
    return true;
}

// Gives the archive the password of the command line, or lets it ask for one.
void takePassword(vessel5::Archive& archive, Arguments& arguments, RunState& state) {
    if (!arguments.hasPassword) {
        archive.onPasswordWanted(onPasswordWanted, &state);
        return;
    }
    if (!arguments.passwordFile.empty()) {
        arguments.password = readPasswordFile(arguments.passwordFile);
    }
    archive.setPassword(arguments.password);
    vessel5::wipe(arguments.password);
}

void watch(vessel5::Archive& archive, RunState& state) {
    archive.onItemSkipped(onItemSkipped, &state);
    archive.onDestinationWanted(goOn, &state);
    archive.onStarted(onStarted, &state);
    archive.onItemStarted(onItemStarted, &state);
    archive.onProgress(onProgress, &state);
}

}  // namespace

void requestCancel() {
    cancelled = true;
}

bool cancelRequested() {
    return cancelled;
}

void clearCancel() {
    cancelled = false;
}

void printUsage(std::ostream& out) {
    out << "usage: zipsfx list FILE\n"
           "       zipsfx test FILE [-P PASSWORD | --password-file PWFILE]\n"
           "       zipsfx extract FILE [-d DIR] [-q] [-P PASSWORD | --password-file PWFILE]\n"
           "       zipsfx info FILE\n"
           "       zipsfx make ...        (zipsfx make --help for its options)\n"
           "       zipsfx --version\n"
           "       zipsfx --help\n"
           "\n"
           "FILE is a Zip archive or a self-extracting file.\n"
           "  list     one line per entry (sizes, method, date and time, CRC-32, name) and "
           "totals;\n"
           "           an asterisk after the method marks an encrypted entry\n"
           "  test     decode every entry and check its CRC-32 without writing anything\n"
           "  extract  extract into DIR (default: the current folder) as the self-extracting\n"
           "           program does; -q draws no progress line\n"
           "  -P, --password-file  the password of encrypted entries, or a file whose first\n"
           "           line is the password; without them a terminal is asked. A password on\n"
           "           the command line can be seen by other users of this machine.\n"
           "  info     what a self-extracting file will do: its stub, the program it starts,\n"
           "           the destination, wait and temp, whether it is signed, whether a password\n"
           "           is needed, the archive's totals\n"
           "Methods read: stored, shrunk, reduced 1-4, imploded, deflated, Deflate64, BZip2 and\n"
           "LZMA, with traditional encryption or WinZip AES; others are refused by name. make\n"
           "writes stored, deflated or (--method lzma, Linux tool) LZMA, encrypted with\n"
           "--password.\n"
           "Exit codes: 0 done, 1 cancelled, 2 error, 3 other failure.\n";
}

int runList(int argc, char** argv, const Console& console) {
    const Arguments arguments = parse(argc, argv, false, false);
    if (!arguments.error.empty()) {
        return usageError(console, arguments.error);
    }
    return guarded(console, nullptr, [&] {
        const ArchiveRange range = findArchiveRange(arguments.file);
        const auto entries = listArchive(arguments.file, range.start, range.end);
        printListing(console.out, entries);
        return kExitDone;
    });
}

int runTest(int argc, char** argv, const Console& console) {
    Arguments arguments = parse(argc, argv, false, true);
    if (!arguments.error.empty()) {
        return usageError(console, arguments.error);
    }
    ProgressLine line(console.err, console.progress);
    return guarded(console, &line, [&] {
        const ArchiveRange range = findArchiveRange(arguments.file);
        if (range.isSigned) {
            // Only what lies before the certificate table is signed; the archive is read from
            // there alone, so whatever the table holds is never listed, tested or extracted.
            console.out << "signed: the archive lies inside the signed range (bytes " << range.start
                        << " to " << range.end << ")\n";
        } else {
            console.out << "not signed\n";
        }
        std::size_t checked = 0;
        std::size_t failed = 0;
        CheckingArchive archive(
            [&](const std::string& name, CheckResult result, const std::string& reason) {
                line.finish();
                ++checked;
                if (result == CheckResult::Sound) {
                    console.out << "OK      " << base::printableText(name) << "\n";
                } else if (result == CheckResult::Skipped) {
                    console.out << "SKIPPED " << base::printableText(name) << ": "
                                << base::printableText(reason) << "\n";
                } else {
                    ++failed;
                    console.out << "FAILED  " << base::printableText(name) << ": "
                                << base::printableText(reason) << "\n";
                }
            });
        RunState state{archive, line, console.err};
        watch(archive, state);
        takePassword(archive, arguments, state);
        archive.open(arguments.file);
        archive.settings().startOffset = range.start;
        archive.settings().endOffset = range.end;
        archive.decode();
        archive.close();
        line.finish();
        console.out << checked << (checked == 1 ? " entry" : " entries") << " checked, " << failed
                    << " failed\n";
        return failed == 0 ? kExitDone : kExitError;
    });
}

int runExtract(int argc, char** argv, const Console& console) {
    Arguments arguments = parse(argc, argv, true, true);
    if (!arguments.error.empty()) {
        return usageError(console, arguments.error);
    }
    ProgressLine line(console.err, console.progress && !arguments.quiet);
    return guarded(console, &line, [&] {
        const ArchiveRange range = findArchiveRange(arguments.file);
        vessel5::Archive archive;
        RunState state{archive, line, console.err};
        watch(archive, state);
        takePassword(archive, arguments, state);
        vessel5::keepUnixPermissions(archive);
        archive.settings().threads = vessel5::configuredThreads();
        archive.setDestinationFolder(arguments.folder.empty() ? platform::currentFolder()
                                                              : arguments.folder);
        archive.open(arguments.file);
        archive.settings().startOffset = range.start;
        archive.settings().endOffset = range.end;
        archive.decode();
        archive.close();
        line.finish();
        return kExitDone;
    });
}

}  // namespace tools
