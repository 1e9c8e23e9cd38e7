#include "tools/zipsfx/ZipSources.h"

#include <algorithm>
#include <ostream>
#include <set>

#include "tools/zipsfx/Fail.h"

namespace fs = std::filesystem;

namespace tools {

namespace {

struct Collector {
    std::ostream& log;
    std::vector<ZipSource> sources;
    std::set<std::string> names;

    void add(const fs::path& path, const std::string& name, bool folder) {
        std::string entry = folder ? name + "/" : name;
        if (!names.insert(entry).second) {
            fail("two inputs give the same entry name " + entry);
        }
        sources.push_back({path, entry, folder});
    }

    void addFolder(const fs::path& folder, const std::string& name) {
        add(folder, name, true);
        std::vector<fs::directory_entry> children;
        for (const auto& child : fs::directory_iterator(folder)) {
            children.push_back(child);
        }
        std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
            return a.path().filename() < b.path().filename();
        });
        for (const auto& child : children) {
            std::string childName = name + "/" + child.path().filename().string();
            fs::file_status own = child.symlink_status();
            std::error_code error;
            fs::file_status target = fs::status(child.path(), error);
            if (fs::is_directory(own)) {
                addFolder(child.path(), childName);
            } else if (fs::is_regular_file(own) ||
                       (fs::is_symlink(own) && fs::is_regular_file(target))) {
                add(child.path(), childName, false);
            } else if (fs::is_symlink(own)) {
                log << "zipsfx make: warning: skipping the link " << quoted(child.path())
                    << ": it leads to " << (error ? "nothing" : "a folder") << "\n";
            } else {
                log << "zipsfx make: warning: skipping " << quoted(child.path())
                    << ": neither a file nor a folder\n";
            }
        }
    }
};

}  // namespace

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::vector<ZipSource> collectSources(const std::vector<std::string>& inputs, std::ostream& log) {
    Collector collector{log, {}, {}};
    for (const std::string& input : inputs) {
        fs::path path(input);
        std::error_code error;
        fs::file_status status = fs::status(path, error);
        if (!fs::exists(status)) {
            fail("cannot find " + quoted(path));
        }
        fs::path full = fs::absolute(path).lexically_normal();
        if (!full.has_filename()) {
            full = full.parent_path();  // a trailing separator
        }
        std::string name = full.filename().string();
        if (name.empty() || name == "." || name == ".." || full == full.root_path()) {
            fail("cannot name the entries of " + quoted(path) + "; give a folder below it");
        }
        if (fs::is_directory(status)) {
            collector.addFolder(path, name);
        } else if (fs::is_regular_file(status)) {
            collector.add(path, name, false);
        } else {
            fail(quoted(path) + " is neither a file nor a folder");
        }
    }
    return collector.sources;
}

}  // namespace tools
