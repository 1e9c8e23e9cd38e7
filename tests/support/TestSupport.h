// Helpers shared by the unit tests: temporary folders, small files, and where the sources are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh empty folder, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& path() const { return path_; }
    // path() joined with a relative name using the platform's separator.
    std::string operator/(const std::string& name) const;

  private:
    std::string path_;
};

std::string join(const std::string& folder, const std::string& name);
// A path written with '/' given the platform's separator, so tests can spell paths one way.
std::string nativeSeparators(std::string path);
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
void writeFile(const std::string& path, const std::string& text);
std::vector<std::uint8_t> readFile(const std::string& path);
bool fileExists(const std::string& path);
std::vector<std::uint8_t> bytes(const std::string& text);

// For archives built byte by byte in tests: the Zip CRC-32, computed bit by bit so that it does
// not share code with the product's table, and little-endian fields appended to `out`.
std::uint32_t crc32(const std::string& data);
void put16(std::string& out, std::uint32_t value);
void put32(std::string& out, std::uint32_t value);

// The source tree (for test data) and the shared fixtures folder beside it, or empty when unknown.
std::string sourceDir();
std::string fixturesDir();

}  // namespace testsupport
