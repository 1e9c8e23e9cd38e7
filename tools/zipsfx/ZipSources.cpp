#include "tools/zipsfx/ZipSources.h"

#include <algorithm>
#include <ostream>
#include <set>

#include "base/Utf8.h"
#include "tools/zipsfx/Fail.h"

namespace fs = std::filesystem;

namespace tools {

namespace {

// A name from the disk as the archive stores it: UTF-8, which is what every extractor reads
// (with bit 11 set for names that are not plain ASCII). A name that is not UTF-8 would come out
// differently on every system, so it is refused, naming the file, before anything is written.
std::string entryName(const fs::path& path) {
    std::string name = path.filename().u8string();
    if (!base::isValidUtf8(name)) {
        fail("the name of " + quoted(path) +
             " is not valid UTF-8; rename it (for example with convmv) and try again");
    }
    return name;
}

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
            std::string childName = name + "/" + entryName(child.path());
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
    return "'" + base::printableText(path.u8string()) + "'";
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
        std::string name = entryName(full);
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
