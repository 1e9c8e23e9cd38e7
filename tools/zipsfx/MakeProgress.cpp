#include "tools/zipsfx/MakeProgress.h"

#include <algorithm>
#include <cstdio>

#include "base/Utf8.h"

namespace tools {

namespace {

constexpr auto kRedraw = std::chrono::milliseconds(100);

// Megabytes with one decimal.
std::string megabytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", bytes / 1e6);
    return text;
}

}  // namespace

MakeProgress::MakeProgress(ProgressLine& line, std::uint64_t files, std::uint64_t bytes)
    : line_(line), files_(files), bytes_(bytes), start_(Clock::now()), drawn_(start_ - kRedraw) {}

void MakeProgress::update(std::uint64_t file, const std::string& name, std::uint64_t done) {
    if (file != file_) {
        // The bytes of the file before count as done; a file that grew or shrank since it was
        // measured counts with what was read of it.
        before_ += done_;
        file_ = file;
        name_ = name;
    }
    done_ = done;
    const Clock::time_point now = Clock::now();
    if (now - drawn_ >= kRedraw) {
        draw(now);
    }
}

void MakeProgress::finish() {
    before_ += done_;
    done_ = 0;
    file_ = files_;
    draw(Clock::now());
    line_.finish();
}

void MakeProgress::draw(Clock::time_point now) {
    drawn_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    line_.show(text(file_, files_, before_ + done_, bytes_, seconds, name_));
}

std::string MakeProgress::text(std::uint64_t file, std::uint64_t files, std::uint64_t done,
                               std::uint64_t total, double seconds, const std::string& name) {
    const std::uint64_t percent =
        total == 0 ? 100 : std::min<std::uint64_t>(100, done * 100 / total);
    std::string line = "[" + std::to_string(file) + "/" + std::to_string(files) + "] " +
                       megabytes(static_cast<double>(done)) + "/" +
                       megabytes(static_cast<double>(total)) + " MB " + std::to_string(percent) +
                       "%";
    if (seconds > 0) {
        line += " " + megabytes(static_cast<double>(done) / seconds) + " MB/s";
    }
    if (!name.empty()) {
        line += " " + base::printableText(name);
    }
    return line;
}

}  // namespace tools
