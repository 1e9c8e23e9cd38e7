#include "tools/zipsfx/ProgressLine.h"

#include <ostream>

#include "base/Utf8.h"

namespace tools {

std::string ProgressLine::text(const std::string& name, std::uint64_t done, std::uint64_t total) {
    const std::uint64_t percent =
        total == 0 ? 100 : std::min<std::uint64_t>(100, std::uint64_t(done) * 100 / total);
    return base::printableText(name) + " " + std::to_string(percent) + "%";
}

void ProgressLine::setName(const std::string& name) {
    name_ = name;
    draw();
}

void ProgressLine::setDone(std::uint64_t done) {
    done_ = done;
    draw();
}

void ProgressLine::draw() {
    if (enabled_) {
        show(text(name_, done_, total_));
    }
}

void ProgressLine::show(const std::string& line) {
    if (!enabled_) {
        return;
    }
    // Blank out what is left of a longer previous line.
    const std::size_t pad = width_ > line.size() ? width_ - line.size() : 0;
    out_ << '\r' << line << std::string(pad, ' ') << std::flush;
    width_ = line.size();
    drawn_ = true;
}

void ProgressLine::finish() {
    if (drawn_) {
        out_ << '\n' << std::flush;
        drawn_ = false;
        width_ = 0;
    }
}

}  // namespace tools
