// Finds the stub that `zipsfx make` copies: in the folder ZIPSFX_STUB_DIR names, else beside the
// tool (the Windows release archive), in the installed layout (bin/zipsfx with lib/zipsfx/), or
// in the build tree that the tool was built in.
#pragma once

#include <string>
#include <vector>

namespace tools {

// The stubs --stub can name, and the file name each has beside the tool, in an installed
// lib/zipsfx/ and in a folder named by ZIPSFX_STUB_DIR.
struct NamedStub {
    const char* name;      // "windows", "windows64" or "posix"
    const char* fileName;  // "zipsfx-stub.exe", "zipsfx-stub-win64.exe" or "zipsfx-stub"
};
const std::vector<NamedStub>& namedStubs();

// The installed stubs' folder relative to the installed tool's ("../lib/zipsfx").
std::string installedStubFolder();

// Candidate files for a named stub, in the order they are tried, given the folder that holds the
// running tool and the value of ZIPSFX_STUB_DIR (empty: not set). A set folder is the only place
// looked at. Empty for a name that is not one of namedStubs().
std::vector<std::string> stubCandidates(const std::string& which, const std::string& toolFolder,
                                        const std::string& stubFolder = {});

// The folder of the running tool, or empty when it cannot be told.
std::string toolFolder();

// The stub file for --stub: one of namedStubs() or a path. Throws generic::exception naming the
// places tried when a named stub is found nowhere, or when a given path does not exist.
std::string locateStub(const std::string& which);

}  // namespace tools
