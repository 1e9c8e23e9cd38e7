#include "archive/FormatReader.h"

#include <set>
#include <vector>

#include "archive/Archive.h"
#include "base/Decimal.h"
#include "base/Exception.h"
#include "archive/SafePath.h"
#include "io/Folder.h"
#include "io/PathName.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "io/FileOutput.h"

namespace vessel5 {
namespace {

constexpr unsigned kUniqueLimit = 999;

NameCleaner cleanerFor(const Archive& archive) {
    return archive.cleanNames() ? cleanNameCharacters : nullptr;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

ReaderFactory& registeredZipReader() {
    static ReaderFactory factory = nullptr;
    return factory;
}

}  // namespace

void registerZipReader(ReaderFactory factory) {
    registeredZipReader() = factory;
}

ReaderFactory zipReaderFactory() {
    return registeredZipReader();
}

FormatReader::FormatReader(std::uint32_t startOffset, Archive& archive)
    : archive_(archive), startOffset_(startOffset) {
    archive_.settings().startOffset = startOffset;
    archive_.setEndPosition(startOffset + 1);
}

FormatReader::~FormatReader() = default;

void FormatReader::scan(stream::RandomInput&) {
    throw brindle5::exception::UnsupportedFormat(
        "attempt to call generic vessel5::FormatReader::scan()");
}

void FormatReader::decode(stream::RandomInput&) {
    throw brindle5::exception::UnsupportedFormat(
        "attempt to call generic vessel5::FormatReader::decode()");
}

void FormatReader::decodeStream(stream::RandomInput&) {
    throw brindle5::exception::UnsupportedFormat(
        "attempt to call generic vessel5::FormatReader::decodeStream()");
}

void FormatReader::decodeFile(stream::RandomInput&) {
    throw brindle5::exception::UnsupportedFormat(
        "attempt to call generic vessel5::FormatReader::decodeFile()");
}

std::string FormatReader::destinationPrefix() {
    // Resolved once per extraction: every output path of the run starts with it.
    if (prefix_.empty()) {
        std::string folder = archive_.destinationFolder();
        io::makeAbsolute(folder);
        if (folder.empty() || folder.back() != platform::kSeparator) {
            folder += platform::kSeparator;
        }
        prefix_ = folder;
    }
    return prefix_;
}

void FormatReader::clearOutputNames() {
    outputNames_.clear();
    folders_.clear();
    lastFolder_.clear();
    prefix_.clear();
}

bool FormatReader::namesDestination(const std::string& storedName) const {
    return outputComponents(storedName).empty();
}

std::vector<std::string> FormatReader::outputComponents(const std::string& storedName) const {
    return safeComponents(storedName, cleanerFor(archive_));
}

std::string FormatReader::makeOutputPath(const std::string& storedName, bool forFile) {
    std::vector<std::string> components = safeComponents(storedName, cleanerFor(archive_));
    if (components.empty()) {
        throw brindle5::exception::BadFormat(
            "no usable output name in vessel5::FormatReader::makeOutputPath() for " + storedName);
    }

    std::string path = destinationPrefix() + components.front();
    // A top-level name this run has seen already (made by it, or renamed by it) is followed;
    // only a name that was there before the run gets a numbered one.
    auto known = outputNames_.find(path);
    if (known != outputNames_.end()) {
        path = known->second;
    } else if (forFile && components.size() == 1) {
        // createOutputFile records the name it really took.
        return path;
    } else if (!io::exists(path)) {
        outputNames_[path] = path;
    } else {
        const std::string wanted = path;
        io::makeUnique(path, kUniqueLimit);
        outputNames_[wanted] = path;
    }

    for (std::size_t i = 1; i < components.size(); ++i) {
        path += platform::kSeparator;
        path += components[i];
    }
    return path;
}

void FormatReader::checkOutputLength(const std::string& storedName) {
    const std::string prefix = archive_.destinationFolder().empty() ? "" : destinationPrefix();
    const std::string problem =
        pathLengthProblem(prefix, safeComponents(storedName, cleanerFor(archive_)));
    if (!problem.empty()) {
        throw brindle5::exception::BadFormat("cannot extract " + storedName + ": " + problem +
                                             "; nothing was extracted");
    }
}

bool FormatReader::preparePath(std::string& path, const std::string& prefix) {
    if (archive_.cleanNames()) {
        // The destination was chosen by the user and is used as it is; only what lies below it
        // came from the archive.
        if (!prefix.empty() && startsWith(path, prefix)) {
            std::string below = path.substr(prefix.size());
            io::sanitize(below);
            path = prefix + below;
        } else {
            io::sanitize(path);
        }
    }
    return io::truncate(path, platform::kMaxPathLength);
}

void FormatReader::checkInside(const std::string& path, const std::string& prefix,
                               const char* operation) {
    if (prefix.empty()) {
        return;
    }
    bool inside = startsWith(path, prefix) && path.size() > prefix.size();
    std::string::size_type start = prefix.size();
    while (inside && start <= path.size()) {
        std::string::size_type end = path.find_first_of("/\\", start);
        if (end == std::string::npos) {
            end = path.size();
        }
        inside = isSafeComponent(path.substr(start, end - start));
        start = end + 1;
    }
    if (!inside) {
        throw brindle5::exception::Output(
            std::string("refused an output path outside the ") +
            "destination folder in vessel5::FormatReader::" + operation + "() " + path);
    }
}

void FormatReader::makeFolders(const std::string& folder, const std::string& prefix) {
    if (prefix.empty()) {
        try {
            io::createFolder(folder);
        } catch (const io::Exception& e) {
            throw brindle5::exception::Output(e.message());
        }
        return;
    }
    // Files of one folder mostly follow each other: their folder was settled by the first.
    if (!lastFolder_.empty() && folder == lastFolder_) {
        return;
    }
    std::string base = prefix.substr(0, prefix.size() - 1);
    if (folders_.count(base) == 0) {
        // The folder the user chose: made as it is named, links and all.
        try {
            io::createFolder(base.empty() ? prefix : base);
        } catch (const io::Exception& e) {
            throw brindle5::exception::Output(e.message() + ": " + platform::lastFailureText());
        }
        folders_.insert(base);
    }
    // Below it, each folder is made or must already be a real folder, never a link to one.
    std::string::size_type end = prefix.size();
    while (end < folder.size()) {
        end = folder.find(platform::kSeparator, end + 1);
        if (end == std::string::npos) {
            end = folder.size();
        }
        const std::string step = folder.substr(0, end);
        if (folders_.count(step) != 0) {
            continue;
        }
        bool created = false;
        if (!platform::makeDirectory(step, created)) {
            const std::string reason = platform::nameWasTaken()
                                           ? std::string("the name is taken by a file or a link")
                                           : platform::lastFailureText();
            throw brindle5::exception::Output("cannot create (directory) " + step + ": " + reason);
        }
        folders_.insert(step);
    }
    lastFolder_ = folder;
}

std::string FormatReader::createOutputFile(stream::FileOutput& file, std::string path,
                                           unsigned attempts) {
    if (attempts == 0) {
        throw brindle5::exception::Output(
            "cannot create an output file in vessel5::FormatReader::createOutputFile()");
    }
    const std::string prefix = archive_.destinationFolder().empty() ? "" : destinationPrefix();
    const std::string asked = path;
    bool changed = preparePath(path, prefix);
    checkInside(path, prefix, "createOutputFile");
    const std::string::size_type slash = path.rfind(platform::kSeparator);
    if (slash != std::string::npos && slash > 0) {
        makeFolders(path.substr(0, slash), prefix);
    }
    // The name is taken only by creating the file: one call that fails when anything (a file
    // from before, one another run made a moment ago, a link) has the name, and then the next
    // numbered name is tried the same way. No file is ever replaced, none written through a
    // link. A shortened name is treated exactly like any other.
    const std::string wanted = path;
    const unsigned limit = attempts < kUniqueLimit ? kUniqueLimit : attempts;
    for (unsigned n = 1;; ++n) {
        try {
            file.createNew(path);
            if (changed) {
                archive_.notifyText(kNameChanged, path);
            }
            // A top-level file that makeOutputPath did not look up: later entries under its
            // name follow the name it got.
            if (!prefix.empty() &&
                asked.find(platform::kSeparator, prefix.size()) == std::string::npos &&
                startsWith(asked, prefix)) {
                outputNames_.emplace(asked, path);
            }
            return path;
        } catch (const io::NameTakenException&) {
            if (n > limit) {
                throw brindle5::exception::Output(
                    "cannot create an output file in vessel5::FormatReader::createOutputFile(): "
                    "no free name for " +
                    wanted);
            }
        } catch (const io::Exception& e) {
            throw brindle5::exception::Output(
                "cannot create an output file in vessel5::FormatReader::createOutputFile() " +
                e.message());
        }
        path = io::numberedName(wanted, n);
        changed = true;
        checkInside(path, prefix, "createOutputFile");
    }
}

std::string FormatReader::createOutputFolder(std::string path, unsigned attempts) {
    const std::string prefix = archive_.destinationFolder().empty() ? "" : destinationPrefix();
    if (attempts == 0) {
        throw brindle5::exception::Output(
            "cannot create an output file in vessel5::FormatReader::createOutputFolder()");
    }
    if (preparePath(path, prefix)) {
        archive_.notifyText(kNameChanged, path);
    }
    checkInside(path, prefix, "createOutputFolder");
    // A folder this run made already (for an earlier file, or listed twice) is used again, as is
    // any real folder below a top-level name that makeOutputPath chose.
    makeFolders(path, prefix);
    return path;
}

std::string FormatReader::createOutputLink(const std::string& target, std::string path,
                                           unsigned attempts) {
    if (attempts == 0) {
        throw brindle5::exception::Output(
            "cannot create a link in vessel5::FormatReader::createOutputLink() " + path);
    }
    const std::string prefix = archive_.destinationFolder().empty() ? "" : destinationPrefix();
    bool changed = preparePath(path, prefix);
    checkInside(path, prefix, "createOutputLink");
    const std::string::size_type slash = path.rfind(platform::kSeparator);
    if (slash != std::string::npos && slash > 0) {
        makeFolders(path.substr(0, slash), prefix);
    }
    // As for files: the name is taken by creating the link, a taken name moves on.
    const std::string wanted = path;
    for (unsigned n = 1;; ++n) {
        if (platform::createSymbolicLink(target, path)) {
            if (changed) {
                archive_.notifyText(kNameChanged, path);
            }
            return path;
        }
        if (!platform::nameWasTaken() || n > kUniqueLimit) {
            const std::string reason = platform::lastFailureText();
            throw brindle5::exception::Output(
                "cannot create a link in vessel5::FormatReader::createOutputLink() " + wanted +
                ": " + reason);
        }
        path = io::numberedName(wanted, n);
        changed = true;
        checkInside(path, prefix, "createOutputLink");
    }
}

void FormatReader::checkRoom(std::uint64_t needed) {
    if (archive_.destinationFolder().empty() || needed == 0) {
        return;
    }
    // The destination may not exist yet: ask about the nearest folder above it that does.
    std::string folder = destinationPrefix();
    std::uint64_t available = 0;
    while (!platform::freeSpace(folder, available)) {
        while (!folder.empty() && folder.back() == platform::kSeparator) {
            folder.pop_back();
        }
        const std::string::size_type cut = folder.find_last_of(platform::kSeparator);
        if (cut == std::string::npos) {
            return;
        }
        folder.resize(cut + 1);
    }
    if (needed > available) {
        throw brindle5::exception::Output("not enough free space in the destination folder " +
                                          archive_.destinationFolder() + ": the archive holds " +
                                          generic::decimal(needed) + " bytes, " +
                                          generic::decimal(available) + " bytes are free");
    }
}

}  // namespace vessel5
