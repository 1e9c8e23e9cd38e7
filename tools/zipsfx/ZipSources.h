// The files and folders `zipsfx make` stores, found by walking its inputs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tools {

// One file or folder to be stored, with its name in the archive.
struct ZipSource {
    std::filesystem::path path;
    std::string name;  // '/' separators; folders end in '/'
    bool folder = false;
};

// Collects the entries for the given inputs: each input is named by its last component and a
// folder brings everything below it (sorted by name, folders before their contents). Refuses
// duplicate names; symbolic links to folders and special files are skipped with a warning on
// the log.
std::vector<ZipSource> collectSources(const std::vector<std::string>& inputs, std::ostream& log);

// A path as messages show it: in single quotes.
std::string quoted(const std::filesystem::path& path);

}  // namespace tools
