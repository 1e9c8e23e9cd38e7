#include "app/ExtractionRun.h"

#include <exception>

#include "app/Destination.h"
#include "app/Launch.h"
#include "sfx/MarkedExecutableParser.h"
#include "archive/UnixPermissions.h"
#include "archive/Archive.h"
#include "archive/Wipe.h"
#include "base/CommandLine.h"
#include "base/Exception.h"

namespace app {

bool isQuietCommandLine(const std::string& commandLine) {
    return commandLine == "-q";
}

bool takePasswordOption(const std::string& commandLine, std::string& password, std::string& rest) {
    const std::vector<std::string> words = base::splitArguments(commandLine);
    if (words.size() < 2 || words[0] != "-p") {
        return false;
    }
    password = words[1];
    rest.clear();
    for (std::size_t i = 2; i < words.size(); ++i) {
        rest += (i > 2 ? " " : "") + words[i];
    }
    return true;
}

int ExtractionRun::run(const std::string& fullCommandLine) {
    try {
        std::string commandLine = fullCommandLine;
        std::string password;
        std::string rest;
        const bool passwordGiven = takePasswordOption(fullCommandLine, password, rest);
        if (passwordGiven) {
            archive_.setPassword(password);
            vessel5::wipe(password);
            commandLine = rest;
        }
        quiet_ = isQuietCommandLine(commandLine);
        if (!quiet_ && !passwordGiven) {
            archive_.onPasswordWanted(&ExtractionRun::onPasswordWanted, this);
        }
        if (!quiet_) {
            frontEnd_.confirm();
        }
        const std::string executablePath = environment_.executablePath();
        destination_ = defaultDestination(environment_);
        if (!quiet_) {
            destination_ = frontEnd_.chooseDestination(destination_);
        }
        extract(executablePath);
        const LaunchResult launched = launch(environment_, destination_, archive_.writtenFiles());
        if (launched.refused) {
            frontEnd_.showError(launched.message);
            return kOtherFailure;
        }
        return kDone;
    } catch (const brindle5::exception::Evacuation&) {
        return kCancelled;
    } catch (const generic::exception& e) {
        frontEnd_.showError(generic::describe(e));
        return kErrorShown;
    } catch (...) {
        return kOtherFailure;
    }
}

void ExtractionRun::extract(const std::string& executablePath) {
    std::uint32_t offset = 0;
    std::uint64_t end = MarkedExecutableParser::kToEnd;
    {
        MarkedExecutableParser parser(executablePath);
        offset = parser.archiveOffset();
        end = parser.archiveEnd();
        parser.close();
    }
    archive_.onStarted(&ExtractionRun::onStarted, this);
    archive_.onProgress(&ExtractionRun::onProgress, this);
    archive_.onDestinationWanted(&ExtractionRun::onDestinationWanted, this);
    archive_.onItemStarted(&ExtractionRun::onItemStarted, this);
    archive_.onItemSkipped(&ExtractionRun::onItemSkipped, this);
    vessel5::keepUnixPermissions(archive_);
    archive_.open(executablePath);
    archive_.settings().startOffset = offset;
    archive_.settings().endOffset = end;
    if (!quiet_) {
        frontEnd_.createProgress();
    }
    try {
        archive_.decode();
    } catch (...) {
        // The box must not appear behind (or on top of) a window that is no longer serviced.
        frontEnd_.destroyProgress();
        throw;
    }
    frontEnd_.destroyProgress();
    archive_.close();
}

bool ExtractionRun::onStarted(std::uint64_t total, void* user) {
    auto* run = static_cast<ExtractionRun*>(user);
    run->progressShift_ = 0;
    while ((total >> run->progressShift_) > 0xFFFFFFFFu) {
        ++run->progressShift_;
    }
    run->frontEnd_.startProgress(static_cast<std::uint32_t>(total >> run->progressShift_));
    return true;
}

bool ExtractionRun::onProgress(std::uint64_t done, void* user) {
    auto* run = static_cast<ExtractionRun*>(user);
    FrontEnd& frontEnd = run->frontEnd_;
    frontEnd.advanceProgress(static_cast<std::uint32_t>(done >> run->progressShift_));
    // A Cancel pressed while the messages were pumped counts at once.
    return !frontEnd.isCancelled();
}

bool ExtractionRun::onDestinationWanted(void* user) {
    auto* run = static_cast<ExtractionRun*>(user);
    run->archive_.setDestinationFolder(run->destination_);
    return !run->frontEnd_.isCancelled();
}

bool ExtractionRun::onItemStarted(std::uint64_t, void* user) {
    auto* run = static_cast<ExtractionRun*>(user);
    if (run->frontEnd_.isCancelled()) {
        return false;
    }
    run->frontEnd_.showName(run->archive_.currentItem().name);
    return !run->frontEnd_.isCancelled();
}

bool ExtractionRun::onPasswordWanted(std::uint64_t wrongTries, void* user) {
    auto* run = static_cast<ExtractionRun*>(user);
    std::string password;
    if (!run->frontEnd_.askPassword(run->archive_.passwordEntry(),
                                    static_cast<unsigned>(wrongTries), password)) {
        return false;
    }
    run->archive_.setPassword(password);
    vessel5::wipe(password);
    return true;
}

bool ExtractionRun::onItemSkipped(const std::string& text, void* user) {
    static_cast<ExtractionRun*>(user)->frontEnd_.noteSkipped(text);
    return true;
}

}  // namespace app
