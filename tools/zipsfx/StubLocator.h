// Finds the stub that `zipsfx make` copies: beside the tool (the installed layout), else in the
// build tree that the tool was built in.
#pragma once

#include <string>
#include <vector>

namespace tools {

// Candidate files for a stub named "windows" or "posix", in the order they are tried, given the
// folder that holds the running tool.
std::vector<std::string> stubCandidates(const std::string& which, const std::string& toolFolder);

// The folder of the running tool, or empty when it cannot be told.
std::string toolFolder();

// The stub file for --stub: "windows", "posix" or a path. Throws generic::exception naming the
// places tried when a named stub is found nowhere, or when a given path does not exist.
std::string locateStub(const std::string& which);

}  // namespace tools
