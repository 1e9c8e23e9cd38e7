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

std::string numberedName(const std::string& path, unsigned n) {
    std::size_t slash = path.rfind(platform::kSeparator);
    std::size_t dot = path.rfind('.');
    std::string stem = path;
    std::string extension;
    if (dot != std::string::npos && (slash == std::string::npos || slash < dot)) {
        stem = path.substr(0, dot);
        extension = path.substr(dot);
    }
    std::string suffix = "_" + generic::decimal(n);
    std::size_t suffixLength = suffix.size();
    // An empty stem cannot shrink further, however long the extension.
    while (!stem.empty() &&
           stem.size() + extension.size() + suffixLength + 2 > platform::kMaxPath) {
        stem.pop_back();
    }
    return stem + suffix + extension;
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
