#include "tests/support/TestSupport.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// Under Wine the Unix tree is drive Z:.
std::string nativePath(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
#endif
    return path;
}

}  // namespace

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate =
            base / ("zipsfx-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate.string();
            while (!path_.empty() && (path_.back() == '/' || path_.back() == '\\')) {
                path_.pop_back();
            }
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempDir::operator/(const std::string& name) const {
    return join(path_, name);
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == platform::kSeparator) {
        return folder + name;
    }
    return folder + platform::kSeparator + name;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

void writeFile(const std::string& path, const std::string& text) {
    writeFile(path, bytes(text));
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::vector<std::uint8_t> bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string sourceDir() {
    if (const char* env = std::getenv("ZIPSFX_SOURCE_DIR")) {
        return nativePath(env);
    }
#ifdef ZIPSFX_SOURCE_DIR_DEFAULT
    return nativePath(ZIPSFX_SOURCE_DIR_DEFAULT);
#else
    return std::string();
#endif
}

std::string fixturesDir() {
    std::string candidate;
    if (const char* env = std::getenv("ZIPSFX_FIXTURES_DIR")) {
        candidate = nativePath(env);
    } else {
        std::string source = sourceDir();
        if (source.empty()) {
            return std::string();
        }
        candidate = join(join(join(source, ".."), "shared"), "fixtures");
    }
    return fileExists(candidate) ? candidate : std::string();
}

bool fixturesRequired() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

#ifndef _WIN32
// tzset() makes the C library read TZ again: localtime_r alone may keep the zone it read first.
ScopedTimeZone::ScopedTimeZone(const std::string& zone) {
    if (const char* current = std::getenv("TZ")) {
        hadZone_ = true;
        previous_ = current;
    }
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (hadZone_) {
        ::setenv("TZ", previous_.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}
#endif

std::string nativeSeparators(std::string path) {
    for (char& c : path) {
        if (c == '/') {
            c = platform::kSeparator;
        }
    }
    return path;
}

std::string testName(std::string text) {
    for (char& c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return text;
}

std::uint32_t crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

}  // namespace testsupport
