// The one-line progress display of `zipsfx extract` and `zipsfx test` on a terminal: the entry
// at hand and the share of the archive done, redrawn in place. `zipsfx make` draws its own
// text through show().
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace tools {

class ProgressLine {
  public:
    // Draws nothing unless enabled.
    ProgressLine(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
    ~ProgressLine() { finish(); }

    void setTotal(std::uint64_t total) { total_ = total; }
    void setName(const std::string& name);
    void setDone(std::uint64_t done);
    // Draws line in place of the last one.
    void show(const std::string& line);
    // Ends the line, if one was drawn.
    void finish();

    // "NAME NN%" for done of total (100% for an empty total), as drawn: the name with its
    // control characters escaped.
    static std::string text(const std::string& name, std::uint64_t done, std::uint64_t total);

  private:
    void draw();

    std::ostream& out_;
    bool enabled_;
    bool drawn_ = false;
    std::size_t width_ = 0;
    std::string name_;
    std::uint64_t done_ = 0;
    std::uint64_t total_ = 0;
};

}  // namespace tools
