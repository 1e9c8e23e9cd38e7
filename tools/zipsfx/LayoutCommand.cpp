#include "tools/zipsfx/LayoutCommand.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>

#include "base/Exception.h"
#include "sfx/Layout.h"
#include "tools/zipsfx/Commands.h"
#include "tools/zipsfx/StubFile.h"
#include "tools/zipsfx/StubImage.h"
#include "tools/zipsfx/StubVersion.h"

namespace tools {

namespace {

std::string markInHex() {
    std::string hex;
    for (std::uint8_t byte : sfx::mark()) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", byte);
        hex += digits;
    }
    return hex;
}

int setRun(const std::string& path, const std::string& run, const Console& console) {
    try {
        std::vector<std::uint8_t> image = readStub(path);
        applyRun(image, run);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
        if (!out) {
            console.err << "zipsfx layout: cannot write " << path << "\n";
            return kExitError;
        }
    } catch (const generic::exception& e) {
        console.err << "zipsfx layout: " << e.message() << "\n";
        return kExitError;
    }
    return kExitDone;
}

// The version record of a stub or of a file made with one; exit code 2 when there is none.
int printStubVersion(const std::string& path, const Console& console) {
    try {
        const std::optional<std::string> version = stubVersion(readStub(path));
        if (!version) {
            console.err << "zipsfx layout: " << path << " carries no version\n";
            return kExitError;
        }
        console.out << *version << "\n";
    } catch (const generic::exception& e) {
        console.err << "zipsfx layout: " << e.message() << "\n";
        return kExitError;
    }
    return kExitDone;
}

}  // namespace

int runLayout(int argc, char** argv, const Console& console) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (argc == 2) {
        if (what == "mark") {
            console.out << markInHex() << "\n";
            return kExitDone;
        }
        if (what == "search-limit") {
            console.out << sfx::kMarkSearchLimit << "\n";
            return kExitDone;
        }
        if (what == "search-step") {
            console.out << sfx::kMarkSearchStep << "\n";
            return kExitDone;
        }
        if (what == "block-size") {
            console.out << sfx::kSettingsBlockSize << "\n";
            return kExitDone;
        }
    }
    if (argc == 3 && what == "stub-version") {
        return printStubVersion(argv[2], console);
    }
    if (argc == 4 && what == "set-run") {
        return setRun(argv[2], argv[3], console);
    }
    console.err << "usage: zipsfx layout mark|search-limit|search-step|block-size\n"
                   "       zipsfx layout set-run FILE TEXT\n"
                   "       zipsfx layout stub-version FILE\n";
    return kExitFailure;
}

}  // namespace tools
