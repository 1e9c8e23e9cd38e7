// Splits a path into folder, name and extension, and a text into the pieces between separators.
#pragma once

#include <cstddef>
#include <string>

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

}  // namespace io
