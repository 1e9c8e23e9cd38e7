#include "archive/FormatReader.h"

#include <vector>

#include "archive/Archive.h"
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

bool cleanName(std::string& name) {
    return io::sanitize(name);
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
    std::string folder = archive_.destinationFolder();
    io::makeAbsolute(folder);
    if (folder.empty() || folder.back() != platform::kSeparator) {
        folder += platform::kSeparator;
    }
    return folder;
}

bool FormatReader::namesDestination(const std::string& storedName) const {
    return safeComponents(storedName, archive_.cleanNames() ? cleanName : nullptr).empty();
}

std::string FormatReader::makeOutputPath(const std::string& storedName) {
    std::vector<std::string> components =
        safeComponents(storedName, archive_.cleanNames() ? cleanName : nullptr);
    if (components.empty()) {
        throw brindle5::exception::BadFormat(
            "no usable output name in vessel5::FormatReader::makeOutputPath() for " + storedName);
    }

    std::string path = destinationPrefix() + components.front();
    auto known = outputNames_.find(path);
    if (!io::exists(path)) {
        outputNames_[path] = path;
    } else if (known == outputNames_.end()) {
        const std::string wanted = path;
        io::makeUnique(path, kUniqueLimit);
        outputNames_[wanted] = path;
    } else {
        path = known->second;
    }

    for (std::size_t i = 1; i < components.size(); ++i) {
        path += platform::kSeparator;
        path += components[i];
    }
    return path;
}

void FormatReader::preparePath(std::string& path, const std::string& prefix) {
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
    bool changed = io::makeUnique(path, kUniqueLimit);
    if (!changed) {
        changed = io::truncate(path, platform::kMaxPathLength);
    }
    if (changed) {
        archive_.notifyText(kNameChanged, path);
    }
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

std::string FormatReader::createOutputFile(stream::FileOutput& file, std::string path,
                                           unsigned attempts) {
    const std::string wanted = path;
    const std::string prefix = archive_.destinationFolder().empty() ? "" : destinationPrefix();
    for (unsigned attempt = 0;; ++attempt) {
        if (attempt >= attempts) {
            throw brindle5::exception::Output(
                "cannot create an output file in vessel5::FormatReader::createOutputFile()");
        }
        path = wanted;
        preparePath(path, prefix);
        checkInside(path, prefix, "createOutputFile");
        try {
            io::createParentFolders(path);
        } catch (const io::Exception& e) {
            throw brindle5::exception::Output(e.message());
        }
        try {
            file.create(path);
            return path;
        } catch (const io::Exception&) {
            // A failed attempt: the next one prepares the wanted path afresh.
        }
    }
}

std::string FormatReader::createOutputFolder(std::string path, unsigned attempts) {
    const std::string prefix = archive_.destinationFolder().empty() ? "" : destinationPrefix();
    if (attempts == 0) {
        throw brindle5::exception::Output(
            "cannot create an output file in vessel5::FormatReader::createOutputFolder()");
    }
    preparePath(path, prefix);
    checkInside(path, prefix, "createOutputFolder");
    try {
        io::createFolderOf(path);
    } catch (const io::Exception& e) {
        throw brindle5::exception::Output(e.message());
    }
    return path;
}

std::string FormatReader::createOutputLink(const std::string& target, std::string path,
                                           unsigned attempts) {
    const std::string wanted = path;
    const std::string prefix = archive_.destinationFolder().empty() ? "" : destinationPrefix();
    for (unsigned attempt = 0; attempt < attempts; ++attempt) {
        path = wanted;
        preparePath(path, prefix);
        checkInside(path, prefix, "createOutputLink");
        try {
            io::createParentFolders(path);
        } catch (const io::Exception& e) {
            throw brindle5::exception::Output(e.message());
        }
        if (platform::createSymbolicLink(target, path)) {
            return path;
        }
    }
    throw brindle5::exception::Output(
        "cannot create a link in vessel5::FormatReader::createOutputLink() " + wanted);
}

}  // namespace vessel5
