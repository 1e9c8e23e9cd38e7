#include "tools/zipsfx/StubLocator.h"

#include <filesystem>
#include <system_error>

#include "base/Exception.h"
#include "platform/Process.h"

namespace fs = std::filesystem;

namespace tools {

std::vector<std::string> stubCandidates(const std::string& which, const std::string& folder) {
    if (folder.empty()) {
        return {};
    }
    const fs::path here(folder);
    const fs::path build = here.parent_path();
    if (which == "windows") {
        // The 32-bit stub is the product; a host build beside build/win32 uses it.
        return {(here / "zipsfx-stub.exe").string(),
                (build / "win32" / "zipsfx-stub.exe").string()};
    }
    return {(here / "zipsfx-stub").string(), (build / "native" / "zipsfx-stub").string()};
}

std::string toolFolder() {
    const std::string self = platform::executablePath();
    if (self.empty()) {
        return {};
    }
    return fs::u8path(self).parent_path().u8string();
}

std::string locateStub(const std::string& which) {
    if (which != "windows" && which != "posix") {
        std::error_code error;
        if (!fs::is_regular_file(which, error)) {
            throw generic::exception("no stub file " + which, "make");
        }
        return which;
    }
    std::string tried;
    for (const std::string& candidate : stubCandidates(which, toolFolder())) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) {
            return candidate;
        }
        tried += (tried.empty() ? "" : ", ") + candidate;
    }
    throw generic::exception("cannot find the " + which + " stub (looked for " +
                                 (tried.empty() ? std::string("nothing") : tried) +
                                 "); name one with --stub PATH",
                             "make");
}

}  // namespace tools
