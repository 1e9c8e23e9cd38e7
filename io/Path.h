// Splits a path into folder, name and extension, and a text into the pieces between separators.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace io {

// folder + name + extension == path. The folder keeps its trailing separator, the extension its
// leading dot; an absent part is empty. A name that begins with its only dot is all extension.
class Path {
  public:
    explicit Path(std::string path, char separator = platform::kSeparator)
        : path_(std::move(path)), separator_(separator) {}
    virtual ~Path() = default;

    virtual std::string path() const { return path_; }
    virtual void setPath(const std::string& path);
    virtual void setSeparator(char separator);
    virtual void parse();
    virtual std::string directory();
    virtual std::string name();
    virtual std::string extension();
    // Back to the native separator; the parts are computed again on the next query.
    virtual void reset();

  private:
    std::string path_;
    std::string directory_;
    std::string name_;
    std::string extension_;
    char separator_;
    bool parsed_ = false;
};

// The pieces of a text between any of the separator characters, empty pieces included: a
// leading separator or two in a row give an empty piece, and an empty text gives one.
class PathParts {
  public:
    PathParts(const std::string& text, const std::string& separators);

    std::size_t size() const { return parts_.size(); }
    const std::string& operator[](std::size_t index) const { return parts_[index]; }
    std::vector<std::string>::const_iterator begin() const { return parts_.begin(); }
    std::vector<std::string>::const_iterator end() const { return parts_.end(); }
    const std::vector<std::string>& parts() const { return parts_; }

  private:
    std::vector<std::string> parts_;
};

}  // namespace io
