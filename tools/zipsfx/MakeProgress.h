// The progress line of `zipsfx make` on a terminal: files and bytes done of the whole, the
// share done, the rate, and the file at hand, redrawn at most ten times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "tools/zipsfx/ProgressLine.h"

namespace tools {

class MakeProgress {
  public:
    using Clock = std::chrono::steady_clock;

    // Draws on line (which may be disabled) for files files of bytes bytes in all.
    MakeProgress(ProgressLine& line, std::uint64_t files, std::uint64_t bytes);

    // The file at hand (counted from 1) and the bytes of it read so far.
    void update(std::uint64_t file, const std::string& name, std::uint64_t done);
    // Draws the final figures and ends the line.
    void finish();

    // "[3/120] 45.2/176.0 MB 25% 12.3 MB/s NAME" after seconds seconds.
    static std::string text(std::uint64_t file, std::uint64_t files, std::uint64_t done,
                            std::uint64_t total, double seconds, const std::string& name);

  private:
    void draw(Clock::time_point now);

    ProgressLine& line_;
    std::uint64_t files_;
    std::uint64_t bytes_;
    Clock::time_point start_;
    Clock::time_point drawn_;
    // Bytes of the files before the one at hand.
    std::uint64_t before_ = 0;
    std::uint64_t file_ = 0;
    std::uint64_t done_ = 0;
    std::string name_;
};

}  // namespace tools
