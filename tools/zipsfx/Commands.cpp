#include "tools/zipsfx/Commands.h"

#include <atomic>
#include <iostream>

namespace tools {

namespace {

std::atomic<bool> cancelled{false};

}  // namespace

void requestCancel() {
    cancelled = true;
}

bool cancelRequested() {
    return cancelled;
}

void printUsage(std::ostream& out) {
    out << "usage: zipsfx list FILE\n"
           "       zipsfx test FILE\n"
           "       zipsfx extract FILE [-d DIR] [-q]\n"
           "       zipsfx make ...        (zipsfx make --help for its options)\n"
           "       zipsfx --help\n"
           "\n"
           "FILE is a Zip archive or a self-extracting file.\n"
           "  list     one line per entry (sizes, method, date and time, CRC-32, name) and totals\n"
           "  test     decode every entry and check its CRC-32 without writing anything\n"
           "  extract  extract into DIR (default: the current folder) as the self-extracting\n"
           "           program does; -q shows no progress\n"
           "Exit codes: 0 done, 1 cancelled, 2 error, 3 other failure.\n";
}

int runList(int, char**) {
    std::cerr << "zipsfx list: not available yet\n";
    return kExitFailure;
}

int runTest(int, char**) {
    std::cerr << "zipsfx test: not available yet\n";
    return kExitFailure;
}

int runExtract(int, char**) {
    std::cerr << "zipsfx extract: not available yet\n";
    return kExitFailure;
}

}  // namespace tools
