// Entry point of the POSIX stub.
#include <string>

#include "app/Environment.h"
#include "app/ExtractionRun.h"
#include "app/posix/EmbeddedResources.h"
#include "app/posix/TerminalFrontEnd.h"
#include "archive/Archive.h"
#include "base/CommandLine.h"
#include "format/zip/ZipReaderFactory.h"

int main(int argc, char** argv) {
    // The arguments joined as one command line, so that "-q" is compared as on Windows; each is
    // quoted where it must be, so that a password with blanks stays one word.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            commandLine += ' ';
        }
        commandLine += base::quoteArgument(argv[i]);
    }
    format::zip::registerZipFormat();
    try {
        vessel5::Archive archive;
        app::posix::TerminalFrontEnd frontEnd;
        app::ProcessEnvironment environment(&app::posix::embeddedResource);
        app::ExtractionRun run(frontEnd, environment, archive);
        return run.run(commandLine);
    } catch (...) {
        return app::kOtherFailure;
    }
}
