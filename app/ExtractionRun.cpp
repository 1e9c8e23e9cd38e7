#include "app/ExtractionRun.h"

#include <exception>

#include "app/Destination.h"
#include "app/Launch.h"
#include "app/TextSettings.h"
#include "archive/Archive.h"
#include "archive/UnixPermissions.h"
#include "archive/Wipe.h"
#include "base/Decimal.h"
#include "base/Exception.h"
#include "format/zip/CheckingReader.h"
#include "sfx/MarkedExecutableParser.h"

namespace app {

namespace {

// The flags of the OPTIONS block; none when the stub has no such block.
std::uint8_t storedOptions(Environment& environment) {
    const auto block = environment.resource(sfx::kOptionsBlock);
    return block && !block->empty() ? static_cast<std::uint8_t>((*block)[0]) : 0;
}

}  // namespace

bool isQuietCommandLine(const std::string& commandLine) {
    return commandLine == "-q";
}

int ExtractionRun::run(const std::string& commandLine) {
    return run(commandWords(commandLine));
}

int ExtractionRun::run(const std::vector<CommandWord>& words) {
    StubArguments arguments = parseStubArguments(words);
    passwordGiven_ = arguments.password.has_value();
    if (arguments.password) {
        archive_.setPassword(*arguments.password);
        vessel5::wipe(*arguments.password);
    }
    try {
        return runSteps(arguments);
    } catch (const brindle5::exception::Evacuation&) {
        removeTemporary();
        return kCancelled;
    } catch (const generic::exception& e) {
        // The folder goes first: the box waits for the user.
        removeTemporary();
        frontEnd_.showError(generic::describe(e));
        return kErrorShown;
    } catch (...) {
        removeTemporary();
        return kOtherFailure;
    }
}

int ExtractionRun::runSteps(const StubArguments& arguments) {
    quiet_ = arguments.quiet;
    // The shipper's title goes on every window, the usage and the test result included.
    const TextSettings texts = readTextSettings(environment_);
    frontEnd_.useTexts(texts);
    if (arguments.help) {
        frontEnd_.showMessage(stubUsage());
        return kDone;
    }
    const std::string executablePath = environment_.executablePath();
    if (arguments.test) {
        return test(executablePath);
    }
    const std::uint8_t options = storedOptions(environment_);
    // A folder named on the command line is the user's: never a temporary one to delete.
    const bool temporary = (options & sfx::kOptionTemp) != 0 && !arguments.destination;
    const bool wait = (options & (sfx::kOptionWait | sfx::kOptionTemp)) != 0;
    if (!quiet_) {
        frontEnd_.confirm();
        // The shipper chose silent mode for a quiet run: -q accepts the licence.
        if (!texts.license.empty()) {
            frontEnd_.acceptLicense(texts.license);
        }
    }
    if (temporary) {
        temporary_ = environment_.makePrivateFolder();
        if (temporary_.empty()) {
            throw io::OutputException("cannot create a private folder in the temporary folder " +
                                      environment_.folder(Environment::Folder::temporary));
        }
        destination_ = temporary_;
    } else {
        destination_ =
            arguments.destination ? *arguments.destination : defaultDestination(environment_);
        if (!quiet_) {
            destination_ = frontEnd_.chooseDestination(destination_);
        }
    }
    decode(executablePath, archive_);
    archive_.close();
    const LaunchResult launched =
        launch(environment_, destination_, archive_.writtenFiles(), arguments.runArguments, wait);
    removeTemporary();
    if (launched.refused) {
        frontEnd_.showError(launched.message);
        return kOtherFailure;
    }
    return launched.waited ? launched.exitCode : kDone;
}

void ExtractionRun::removeTemporary() {
    if (temporary_.empty()) {
        return;
    }
    const std::string folder = temporary_;
    temporary_.clear();
    if (!environment_.removeFolder(folder)) {
        frontEnd_.note("could not delete everything in " + folder + ": files still in use");
    }
}

int ExtractionRun::test(const std::string& executablePath) {
    std::size_t checked = 0;
    std::size_t failed = 0;
    std::string first;
    format::zip::CheckingArchive checking(
        [&](const std::string& name, format::zip::CheckResult result, const std::string& reason) {
            ++checked;
            if (result == format::zip::CheckResult::Failed) {
                ++failed;
                frontEnd_.note("FAILED " + name + ": " + reason);
                if (first.empty()) {
                    first = name + ": " + reason;
                }
            }
        });
    decode(executablePath, checking);
    checking.close();
    const std::string counted = generic::decimal(checked) + (checked == 1 ? " entry" : " entries");
    if (failed != 0) {
        const std::string text = "Tested " + counted + ": " + generic::decimal(failed) +
                                 " damaged, the first " + first + ".";
        if (!quiet_) {
            frontEnd_.showError(text);
        }
        return kErrorShown;
    }
    if (!quiet_) {
        frontEnd_.showMessage("Tested " + counted + ": no errors.");
    }
    return kDone;
}

void ExtractionRun::decode(const std::string& executablePath, vessel5::Archive& archive) {
    std::uint32_t offset = 0;
    std::uint64_t end = MarkedExecutableParser::kToEnd;
    {
        MarkedExecutableParser parser(executablePath);
        offset = parser.archiveOffset();
        end = parser.archiveEnd();
        parser.close();
    }
    active_ = &archive;
    archive.onStarted(&ExtractionRun::onStarted, this);
    archive.onProgress(&ExtractionRun::onProgress, this);
    archive.onDestinationWanted(&ExtractionRun::onDestinationWanted, this);
    archive.onItemStarted(&ExtractionRun::onItemStarted, this);
    archive.onItemSkipped(&ExtractionRun::onItemSkipped, this);
    if (&archive != &archive_) {
        archive.setPassword(archive_.password());
    }
    if (!quiet_ && !passwordGiven_) {
        archive.onPasswordWanted(&ExtractionRun::onPasswordWanted, this);
    }
    vessel5::keepUnixPermissions(archive);
    // The program set the thread count on its archive (configuredThreads).
    archive.settings().threads = archive_.settings().threads;
    archive.open(executablePath);
    archive.settings().startOffset = offset;
    archive.settings().endOffset = end;
    if (!quiet_) {
        frontEnd_.createProgress();
    }
    try {
        archive.decode();
    } catch (...) {
        // The box must not appear behind (or on top of) a window that is no longer serviced.
        frontEnd_.destroyProgress();
        throw;
    }
    frontEnd_.destroyProgress();
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
    // Entries extracted by several threads end in order: the name shown follows the one the run
    // waits for.
    const std::string& name = run->active_->currentItem().name;
    if (!name.empty() && name != run->shownName_) {
        run->shownName_ = name;
        frontEnd.showName(name);
    }
    // A Cancel pressed while the messages were pumped counts at once.
    return !frontEnd.isCancelled();
}

bool ExtractionRun::onDestinationWanted(void* user) {
    auto* run = static_cast<ExtractionRun*>(user);
    run->active_->setDestinationFolder(run->destination_);
    return !run->frontEnd_.isCancelled();
}

bool ExtractionRun::onItemStarted(std::uint64_t, void* user) {
    auto* run = static_cast<ExtractionRun*>(user);
    if (run->frontEnd_.isCancelled()) {
        return false;
    }
    run->shownName_ = run->active_->currentItem().name;
    run->frontEnd_.showName(run->shownName_);
    return !run->frontEnd_.isCancelled();
}

bool ExtractionRun::onPasswordWanted(std::uint64_t wrongTries, void* user) {
    auto* run = static_cast<ExtractionRun*>(user);
    std::string password;
    if (!run->frontEnd_.askPassword(run->active_->passwordEntry(),
                                    static_cast<unsigned>(wrongTries), password)) {
        return false;
    }
    run->active_->setPassword(password);
    vessel5::wipe(password);
    return true;
}

bool ExtractionRun::onItemSkipped(const std::string& text, void* user) {
    static_cast<ExtractionRun*>(user)->frontEnd_.noteSkipped(text);
    return true;
}

}  // namespace app
