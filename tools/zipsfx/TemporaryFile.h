// A free name beside the file being made, for writing it completely before it takes its place.
#pragma once

#include <filesystem>

namespace tools {

// A name in the output's folder that nothing else uses; the file is removed again unless kept.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::filesystem::path& output);
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    const std::filesystem::path& path() const { return path_; }
    void keep() { kept_ = true; }

  private:
    std::filesystem::path path_;
    bool kept_ = false;
};

}  // namespace tools
