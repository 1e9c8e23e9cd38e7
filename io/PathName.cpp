#include "io/PathName.h"

#include <cstring>

#include "base/Decimal.h"
#include "base/Exception.h"
#include "io/Folder.h"
#include "io/Path.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"

namespace io {

namespace {

// Bytes from 0x80 up are parts of UTF-8 characters and always stay.
bool forbidden(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == platform::kOtherSeparator ||
           std::strchr(platform::kForbiddenNameCharacters, c) != nullptr;
}

}  // namespace

void makeAbsolute(std::string& path) {
    std::string copy = path.empty() ? std::string(".") : path;
    std::string absolute;
    if (platform::fullPathName(copy, absolute) ||
        (truncate(copy, platform::kMaxPathLength) && platform::fullPathName(copy, absolute))) {
        path = absolute;
        return;
    }
    throw Exception("cannot resolve " + path + " to an absolute name");
}

bool sanitize(std::string& path) {
    std::string kept;
    kept.reserve(path.size());
    for (char c : path) {
        if (!forbidden(c)) {
            kept += c;
        }
    }
    bool changed = kept != path;
    path = kept;
    return changed;
}

namespace {

// The length the file system counts for a name (see platform::kMaxNameLength): bytes, or UTF-16
// characters (one for each UTF-8 lead byte, two for a character past U+FFFF).
std::size_t nameLength(const std::string& name) {
    if (platform::kNameLengthInBytes) {
        return name.size();
    }
    std::size_t units = 0;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) == 0x80 ? 0 : (byte >= 0xF0 ? 2 : 1);
    }
    return units;
}

// Drops the last character, all of its UTF-8 bytes.
void dropLastCharacter(std::string& text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
        text.pop_back();
    }
    if (!text.empty()) {
        text.pop_back();
    }
}

}  // namespace

std::string numberedName(const std::string& path, unsigned n) {
    const std::size_t slash = path.rfind(platform::kSeparator);
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string folder = path.substr(0, nameStart);
    std::string stem = path.substr(nameStart);
    std::string extension;
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string::npos) {
        extension = stem.substr(dot);
        stem.resize(dot);
    }
    const std::string suffix = "_" + generic::decimal(n);
    // The stem gives way, a whole character at a time, until the path fits the platform's limit
    // and the name the file system's; only a name that is nearly all extension loses the end of
    // its extension too. An empty stem cannot shrink further for the path's sake.
    auto tooLong = [&] {
        return folder.size() + stem.size() + suffix.size() + extension.size() + 2 >
                   platform::kMaxPath ||
               nameLength(stem + suffix + extension) > platform::kMaxNameLength;
    };
    while (!stem.empty() && tooLong()) {
        dropLastCharacter(stem);
    }
    while (!extension.empty() && nameLength(suffix + extension) > platform::kMaxNameLength) {
        dropLastCharacter(extension);
    }
    return folder + stem + suffix + extension;
}

bool makeUnique(std::string& path, unsigned limit) {
    if (!exists(path)) {
        return false;
    }
    std::string candidate = path;
    for (unsigned n = 1; n <= limit && n != 0; ++n) {
        candidate = numberedName(path, n);
        if (!exists(candidate)) {
            path = candidate;
            return true;
        }
    }
    throw Exception("io::Path::makeUnique() cannot resolve name conflict for " + candidate);
}

bool truncate(std::string& path, std::size_t maximum) {
    if (path.size() <= maximum) {
        return false;
    }
    Path parts(path);
    std::string folder = parts.directory();
    std::string name = parts.name();
    std::string extension = parts.extension();
    if (maximum < folder.size() + 6) {
        throw Exception("cannot truncate " + path);
    }
    std::size_t room = maximum - folder.size();
    room = room > extension.size() ? room - extension.size() : 0;
    std::string shortened = folder + (room >= 7 ? name.substr(0, room) : name) + extension;
    if (shortened.size() > maximum) {
        shortened.resize(maximum);
    }
    path = shortened;
    return true;
}

}  // namespace io
