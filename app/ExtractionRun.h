// One run of the self-extracting program, written once for both platforms: the questions, the
// search for the appended archive, the extraction with its progress display, the start of the
// "RUN" program and the exit code. The front end and environment supply the platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Environment.h"
#include "app/FrontEnd.h"
#include "sfx/Layout.h"

namespace vessel5 {
class Archive;
}

namespace app {

// Exit codes of the program.
using ExitCode = sfx::ExitCode;
constexpr ExitCode kDone = sfx::kExitDone;
constexpr ExitCode kCancelled = sfx::kExitCancelled;
constexpr ExitCode kErrorShown = sfx::kExitErrorShown;
constexpr ExitCode kOtherFailure = sfx::kExitOtherFailure;

// True only for the exact text "-q": no trimming, no case folding, no splitting.
bool isQuietCommandLine(const std::string& commandLine);

class ExtractionRun {
  public:
    ExtractionRun(FrontEnd& frontEnd, Environment& environment, vessel5::Archive& archive)
        : frontEnd_(frontEnd), environment_(environment), archive_(archive) {}

    // The whole program after start-up; returns the exit code. The text form is a Windows
    // command line (after the program's name); the POSIX stub hands over its words.
    int run(const std::string& commandLine);
    int run(const std::vector<CommandWord>& words);

    // The folder extracted into (valid once the questions are answered).
    const std::string& destination() const { return destination_; }

  private:
    int runSteps(const StubArguments& arguments);
    // Decodes the appended archive into `archive`, which extracts it or only checks it.
    void decode(const std::string& executablePath, vessel5::Archive& archive);
    int test(const std::string& executablePath);
    // Deletes the private folder of a --temp run, if there is one, and says so when something
    // is left.
    void removeTemporary();

    static bool onStarted(std::uint64_t total, void* user);
    static bool onProgress(std::uint64_t done, void* user);
    static bool onDestinationWanted(void* user);
    static bool onItemStarted(std::uint64_t offset, void* user);
    static bool onItemSkipped(const std::string& text, void* user);
    static bool onPasswordWanted(std::uint64_t wrongTries, void* user);

    FrontEnd& frontEnd_;
    Environment& environment_;
    vessel5::Archive& archive_;
    // The archive being decoded: archive_, or the checking one of a test.
    vessel5::Archive* active_ = nullptr;
    bool quiet_ = false;
    // A password given with -p: the user is not asked then.
    bool passwordGiven_ = false;
    // The private folder of a --temp run, until it is deleted.
    std::string temporary_;
    // The display counts in 32 bits: larger totals are shown in units of 2^progressShift_ bytes.
    unsigned progressShift_ = 0;
    // The entry name the progress display shows.
    std::string shownName_;
    std::string destination_;
};

}  // namespace app
