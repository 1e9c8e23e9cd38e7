// zipsfx: builds, lists, tests and extracts self-extracting Zip archives on the host.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "format/zip/ZipReaderFactory.h"
#include "platform/Process.h"
#include "tools/zipsfx/Commands.h"
#include "tools/zipsfx/Make.h"

namespace {

extern "C" void onInterrupt(int) {
    tools::requestCancel();
}

}  // namespace

int main(int argc, char** argv) {
    format::zip::registerZipFormat();
    if (argc < 2) {
        tools::printUsage(std::cerr);
        return tools::kExitFailure;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 ||
        std::strcmp(command, "help") == 0) {
        tools::printUsage(std::cout);
        return tools::kExitDone;
    }
    std::signal(SIGINT, onInterrupt);
    const tools::Console console{std::cout, std::cerr, platform::stderrIsTerminal()};
    if (std::strcmp(command, "list") == 0) {
        return tools::runList(argc - 1, argv + 1, console);
    }
    if (std::strcmp(command, "test") == 0) {
        return tools::runTest(argc - 1, argv + 1, console);
    }
    if (std::strcmp(command, "extract") == 0) {
        return tools::runExtract(argc - 1, argv + 1, console);
    }
    if (std::strcmp(command, "make") == 0) {
        return tools::runMake(argc - 1, argv + 1);
    }
    std::cerr << "zipsfx: unknown command '" << command << "'\n";
    tools::printUsage(std::cerr);
    return tools::kExitFailure;
}
