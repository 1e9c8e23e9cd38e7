// Splits a text at any of the separator characters, empty pieces included: a leading separator or
// two in a row give an empty piece, and an empty text gives one. Tests use it to take paths apart.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace testsupport {

class PathParts {
  public:
    PathParts(const std::string& text, const std::string& separators) {
        std::size_t start = 0;
        for (;;) {
            std::size_t end = text.find_first_of(separators, start);
            if (end == std::string::npos) {
                parts_.push_back(text.substr(start));
                return;
            }
            parts_.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }

    std::size_t size() const { return parts_.size(); }
    const std::string& operator[](std::size_t index) const { return parts_[index]; }
    std::vector<std::string>::const_iterator begin() const { return parts_.begin(); }
    std::vector<std::string>::const_iterator end() const { return parts_.end(); }
    const std::vector<std::string>& parts() const { return parts_; }

  private:
    std::vector<std::string> parts_;
};

}  // namespace testsupport
