// Names of hostile and odd archive entries with the place below the destination where each must
// land, and a listing of folder trees to compare against. Shared by the output-helper tests and
// the whole-archive extraction tests.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace traversal {

struct Landing {
    std::string stored;  // a trailing '/' marks a folder entry
    std::string landed;  // relative to the destination, '/' separated
};

inline const std::vector<Landing>& cases() {
    static const std::vector<Landing> table = {
        {"../evil.txt", "evil.txt"},
        {"a/../../evil.txt", "a/evil.txt"},
        {"/abs/evil.txt", "abs/evil.txt"},
        {"C:\\evil.txt", "evil.txt"},
        {"..\\evil.txt", "evil.txt"},
        {"C:evil.txt", "evil.txt"},
        {"nul.txt", "_nul.txt"},
        {"a/con/b.txt", "a/_con/b.txt"},
        {"x:y.txt", "y.txt"},
        {"file.txt:stream", "file.txt_stream"},
        {".\x01./evil.txt", "evil.txt"},
        {"a/.\x1f./../evil.txt", "a/evil.txt"},
        {".../evil.txt", "evil.txt"},
        {".. /evil.txt", "evil.txt"},
        {"a/.. /.. /evil.txt", "a/evil.txt"},
        {"\\\\server\\share\\evil.txt", "server/share/evil.txt"},
        {"\\\\?\\C:\\evil.txt", "evil.txt"},
        {"\\\\.\\evil.txt", "evil.txt"},
        {"../up/", "up/"},
        {"C:\\dir\\..\\..\\up/", "dir/up/"},
    };
    return table;
}

// Every file and folder below root, relative to it, '/' separated, folders with a trailing '/'.
inline std::vector<std::string> tree(const std::string& root) {
    namespace fs = std::filesystem;
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(root))) {
        entries.push_back(fs::relative(entry.path(), fs::path(root)).generic_string() +
                          (entry.is_directory() ? "/" : ""));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The tree of a scratch folder holding only "dest/" and, below it, what a case landed.
inline std::vector<std::string> expectedTree(const std::string& landed) {
    std::vector<std::string> expected = {"dest/"};
    const std::string path = "dest/" + landed;
    for (std::size_t slash = path.find('/', 5); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        expected.push_back(path.substr(0, slash + 1));
    }
    if (path.back() != '/') {
        expected.push_back(path);
    }
    std::sort(expected.begin(), expected.end());
    return expected;
}

}  // namespace traversal
