// Entry point of the POSIX stub.
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Environment.h"
#include "app/ExtractionRun.h"
#include "app/posix/EmbeddedResources.h"
#include "app/posix/TerminalFrontEnd.h"
#include "archive/Archive.h"
#include "archive/Threads.h"
#include "format/zip/ZipReaderFactory.h"

int main(int argc, char** argv) {
    // Each argument is one word, exactly as given: nothing to unquote.
    std::vector<app::CommandWord> words;
    for (int i = 1; i < argc; ++i) {
        words.push_back(app::CommandWord{argv[i], argv[i]});
    }
    format::zip::registerZipFormat();
    try {
        vessel5::Archive archive;
        archive.settings().threads = vessel5::configuredThreads();
        app::posix::TerminalFrontEnd frontEnd;
        app::ProcessEnvironment environment(&app::posix::embeddedResource);
        app::ExtractionRun run(frontEnd, environment, archive);
        return run.run(words);
    } catch (...) {
        return app::kOtherFailure;
    }
}
