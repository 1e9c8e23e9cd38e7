#include "io/Path.h"

#include "platform/FileSystem.h"

namespace io {

void Path::setPath(const std::string& path) {
    path_ = path;
    parsed_ = false;
}

void Path::setSeparator(char separator) {
    separator_ = separator;
    parsed_ = false;
}

void Path::reset() {
    separator_ = platform::kSeparator;
    parsed_ = false;
}

void Path::parse() {
    if (parsed_) {
        return;
    }
    std::size_t slash = path_.rfind(separator_);
    // Where the system also takes the other separator, a path written with it still splits.
    if (slash == std::string::npos && separator_ == platform::kSeparator &&
        platform::kAlternativeSeparator) {
        slash = path_.rfind(platform::kOtherSeparator);
    }
    std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    directory_ = path_.substr(0, start);
    std::size_t dot = path_.rfind('.');
    if (dot == std::string::npos || dot < start) {
        name_ = path_.substr(start);
        extension_.clear();
    } else {
        name_ = path_.substr(start, dot - start);
        extension_ = path_.substr(dot);
    }
    parsed_ = true;
}

std::string Path::directory() {
    parse();
    return directory_;
}

std::string Path::name() {
    parse();
    return name_;
}

std::string Path::extension() {
    parse();
    return extension_;
}

}  // namespace io
