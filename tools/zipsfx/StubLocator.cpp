#include "tools/zipsfx/StubLocator.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "base/Exception.h"
#include "platform/EnvironmentVariable.h"
#include "platform/Process.h"

#ifndef ZIPSFX_INSTALLED_STUBS
#error "the build defines ZIPSFX_INSTALLED_STUBS, the stubs' folder relative to the tool's"
#endif

namespace fs = std::filesystem;

namespace tools {

namespace {

// Where each named stub lies in a build tree: the build folder of its platform.
struct BuildPlace {
    const char* name;
    const char* folder;
    const char* fileName;
};
constexpr BuildPlace kBuildPlaces[] = {
    {"windows", "win32", "zipsfx-stub.exe"},
    {"windows64", "win64", "zipsfx-stub.exe"},
    {"posix", "native", "zipsfx-stub"},
};

const NamedStub* findNamed(const std::string& which) {
    for (const NamedStub& stub : namedStubs()) {
        if (which == stub.name) {
            return &stub;
        }
    }
    return nullptr;
}

}  // namespace

const std::vector<NamedStub>& namedStubs() {
    static const std::vector<NamedStub> stubs = {
        {"windows", "zipsfx-stub.exe"},
        {"windows64", "zipsfx-stub-win64.exe"},
        {"posix", "zipsfx-stub"},
    };
    return stubs;
}

std::string installedStubFolder() {
    return ZIPSFX_INSTALLED_STUBS;
}

std::vector<std::string> stubCandidates(const std::string& which, const std::string& folder,
                                        const std::string& stubFolder) {
    const NamedStub* named = findNamed(which);
    if (named == nullptr) {
        return {};
    }
    if (!stubFolder.empty()) {
        return {(fs::u8path(stubFolder) / named->fileName).u8string()};
    }
    if (folder.empty()) {
        return {};
    }
    const fs::path here = fs::u8path(folder);
    std::vector<std::string> candidates;
    auto add = [&](const fs::path& path) {
        const std::string text = path.lexically_normal().u8string();
        for (const std::string& known : candidates) {
            if (known == text) {
                return;
            }
        }
        candidates.push_back(text);
    };
    // Beside the tool: the Windows release archive.
    add(here / named->fileName);
    add(here / fs::u8path(installedStubFolder()) / named->fileName);
    // A build tree: build/native, build/win32 and build/win64 side by side.
    for (const BuildPlace& place : kBuildPlaces) {
        if (which == place.name) {
            add(here.parent_path() / place.folder / place.fileName);
        }
    }
    return candidates;
}

std::string toolFolder() {
    const std::string self = platform::executablePath();
    if (self.empty()) {
        return {};
    }
    return fs::u8path(self).parent_path().u8string();
}

std::string locateStub(const std::string& which) {
    if (findNamed(which) == nullptr) {
        std::error_code error;
        if (!fs::is_regular_file(fs::u8path(which), error)) {
            throw generic::exception("no stub file " + which, "make");
        }
        return which;
    }
    const std::optional<std::string> stubFolder = platform::environmentVariable("ZIPSFX_STUB_DIR");
    const bool fromVariable = stubFolder && !stubFolder->empty();
    std::string tried;
    for (const std::string& candidate :
         stubCandidates(which, toolFolder(), fromVariable ? *stubFolder : std::string())) {
        std::error_code error;
        if (fs::is_regular_file(fs::u8path(candidate), error)) {
            return candidate;
        }
        tried += (tried.empty() ? "" : ", ") + candidate;
    }
    throw generic::exception("cannot find the " + which + " stub (looked for " +
                                 (tried.empty() ? std::string("nothing") : tried) +
                                 (fromVariable ? ", as ZIPSFX_STUB_DIR says" : "") +
                                 "); name one with --stub PATH",
                             "make");
}

}  // namespace tools
