#include "tools/zipsfx/TemporaryFile.h"

#include <random>
#include <sstream>

#include "tools/zipsfx/Fail.h"

namespace fs = std::filesystem;

namespace tools {

TemporaryFile::TemporaryFile(const fs::path& output) {
    fs::path folder = output.parent_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "." << output.filename().string() << "." << std::hex << random() << ".tmp";
        fs::path candidate = folder / name.str();
        std::error_code error;
        if (!fs::exists(candidate, error) && !error) {
            path_ = candidate;
            return;
        }
    }
    fail("cannot find a temporary name beside " + output.string());
}

TemporaryFile::~TemporaryFile() {
    if (!kept_) {
        std::error_code ignored;  // a destructor must not throw; nothing else to do
        fs::remove(path_, ignored);
    }
}

}  // namespace tools
