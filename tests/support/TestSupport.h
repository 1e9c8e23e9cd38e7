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

// A parameterised test's name made from free text: every character gtest refuses becomes '_'.
std::string testName(std::string text);

// For archives built byte by byte in tests: the Zip CRC-32, computed bit by bit so that it does
// not share code with the product's table, and little-endian fields appended to `out`.
std::uint32_t crc32(const std::string& data);
void put16(std::string& out, std::uint32_t value);
void put32(std::string& out, std::uint32_t value);

// The source tree (for test data) and the shared fixtures folder beside it, or empty when unknown
// or missing.
std::string sourceDir();
std::string fixturesDir();
// True in CI (CI=true), which always has the shared fixtures: there a missing one is a failure.
bool fixturesRequired();

// In a test: goes on when `present`, else skips the test saying what is missing, or in CI
// fails it.
#define ZIPSFX_NEED_FIXTURE(present, what)           \
    do {                                             \
        if (!(present)) {                            \
            if (testsupport::fixturesRequired()) {   \
                FAIL() << "missing in CI: " << what; \
            }                                        \
            GTEST_SKIP() << what;                    \
        }                                            \
    } while (false)

#ifndef _WIN32
// Puts the process in another time zone (a TZ value) while it lives, then back in the one it
// had. (A Windows process takes its zone from the system, not from TZ.)
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const std::string& zone);
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;
    ~ScopedTimeZone();

  private:
    bool hadZone_ = false;
    std::string previous_;
};
#endif

}  // namespace testsupport
