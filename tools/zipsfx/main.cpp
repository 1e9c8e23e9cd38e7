// zipsfx: builds, lists, tests and extracts self-extracting Zip archives on the host.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/Version.h"
#include "format/zip/ZipReaderFactory.h"
#include "platform/Console.h"
#include "platform/Process.h"
#include "platform/StopRequest.h"
#include "tools/zipsfx/ConsoleBuffer.h"
#include "tools/zipsfx/Commands.h"
#include "tools/zipsfx/Info.h"
#include "tools/zipsfx/LayoutCommand.h"
#include "tools/zipsfx/Make.h"

namespace {

void onStop() {
    tools::requestCancel();
}

// Points a standard stream at a console that takes characters, for as long as it lives.
class ConsoleRedirect {
  public:
    ConsoleRedirect(std::ostream& stream, platform::StandardStream which) : stream_(stream) {
        if (platform::isConsole(which)) {
            buffer_ = std::make_unique<tools::ConsoleBuffer>(which);
            previous_ = stream_.rdbuf(buffer_.get());
        }
    }
    ConsoleRedirect(const ConsoleRedirect&) = delete;
    ConsoleRedirect& operator=(const ConsoleRedirect&) = delete;
    ~ConsoleRedirect() {
        if (buffer_) {
            stream_.flush();
            stream_.rdbuf(previous_);
        }
    }

  private:
    std::ostream& stream_;
    std::unique_ptr<tools::ConsoleBuffer> buffer_;
    std::streambuf* previous_ = nullptr;
};

int run(int argc, char** argv);

}  // namespace

// Arguments and console text are UTF-8 throughout the tool.
int main(int argc, char** argv) {
    std::vector<std::string> arguments = platform::utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
        pointers.push_back(&argument[0]);
    }
    pointers.push_back(nullptr);
    const ConsoleRedirect out(std::cout, platform::StandardStream::Output);
    const ConsoleRedirect err(std::cerr, platform::StandardStream::Error);
    return run(static_cast<int>(arguments.size()), pointers.data());
}

namespace {

int run(int argc, char** argv) {
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
    if (std::strcmp(command, "--version") == 0 || std::strcmp(command, "-V") == 0) {
        std::cout << "zipsfx " ZIPSFX_VERSION "\n";
        return tools::kExitDone;
    }
    platform::onStopRequest(onStop);
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
    if (std::strcmp(command, "info") == 0) {
        return tools::runInfo(argc - 1, argv + 1, console);
    }
    if (std::strcmp(command, "make") == 0) {
        return tools::runMake(argc - 1, argv + 1, console);
    }
    if (std::strcmp(command, "layout") == 0) {
        return tools::runLayout(argc - 1, argv + 1, console);  // for the test scripts
    }
    std::cerr << "zipsfx: unknown command '" << command << "'\n";
    tools::printUsage(std::cerr);
    return tools::kExitFailure;
}

}  // namespace
