// Runs the archive object and the Zip reader over an archive file in a temporary folder and
// records what the reader reports, for the reader's tests.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "base/Exception.h"
#include "tests/support/TestSupport.h"

namespace ziptest {

struct Events {
    std::vector<std::string> log;
    std::vector<std::uint64_t> progress;
    std::vector<std::string> itemNames;
    bool answerItemStarted = true;
    int cancelProgressAt = -1;  // answer false to this progress call (0-based)
    bool answerItemFailed = true;
};

inline bool onDestination(void* user) {
    static_cast<Events*>(user)->log.push_back("destinationWanted");
    return true;
}
inline bool onStarted(std::uint64_t total, void* user) {
    static_cast<Events*>(user)->log.push_back("started " + std::to_string(total));
    return true;
}
inline bool onProgress(std::uint64_t position, void* user) {
    auto* events = static_cast<Events*>(user);
    events->progress.push_back(position);
    return events->cancelProgressAt != static_cast<int>(events->progress.size()) - 1;
}
inline bool onEnded(void* user) {
    static_cast<Events*>(user)->log.push_back("ended");
    return true;
}
inline bool onDecoded(void* user) {
    static_cast<Events*>(user)->log.push_back("decoded");
    return true;
}
inline bool onItemDone(void* user) {
    static_cast<Events*>(user)->log.push_back("itemDone");
    return true;
}
inline bool onItemFailed(void* user) {
    static_cast<Events*>(user)->log.push_back("itemFailed");
    return static_cast<Events*>(user)->answerItemFailed;
}

// One archive file in a fresh folder, extracted into its "out" subfolder.
class Extraction {
  public:
    explicit Extraction(const std::string& bytes, std::uint32_t startOffset = 0)
        : archivePath_(dir_ / "archive.zip"), out_(dir_ / "out") {
        testsupport::writeFile(archivePath_, bytes);
        std::filesystem::create_directories(out_);
        archive_.setDestinationFolder(out_);
        archive_.onDestinationWanted(onDestination, &events_);
        archive_.onStarted(onStarted, &events_);
        archive_.onProgress(onProgress, &events_);
        archive_.onEnded(onEnded, &events_);
        archive_.onDecoded(onDecoded, &events_);
        archive_.onItemDone(onItemDone, &events_);
        archive_.onItemFailed(onItemFailed, &events_);
        archive_.onItemStarted(
            [](std::uint64_t, void* user) {
                auto* self = static_cast<Extraction*>(user);
                self->events_.itemNames.push_back(self->archive_.currentItem().name);
                return self->events_.answerItemStarted;
            },
            this);
        startOffset_ = startOffset;
    }

    // Opens and decodes; the exception's description, or "" on success.
    std::string run() {
        try {
            archive_.open(archivePath_);
            archive_.settings().startOffset = startOffset_;
            archive_.decode();
            archive_.close();
        } catch (const generic::exception& e) {
            archive_.close();
            return generic::describe(e);
        }
        return std::string();
    }

    // Every file and folder below the destination, relative, with '/' and a trailing '/' for
    // folders, mapped to the file's contents.
    std::map<std::string, std::string> tree() const {
        std::map<std::string, std::string> result;
        for (const auto& item : std::filesystem::recursive_directory_iterator(out_)) {
            std::string relative = std::filesystem::relative(item.path(), out_).generic_string();
            if (item.is_directory()) {
                result[relative + "/"] = "";
            } else {
                result[relative] = ziptestString(testsupport::readFile(item.path().string()));
            }
        }
        return result;
    }

    vessel5::Archive& archive() { return archive_; }
    Events& events() { return events_; }
    const std::string& out() const { return out_; }
    const std::string& archivePath() const { return archivePath_; }

  private:
    static std::string ziptestString(const std::vector<std::uint8_t>& v) {
        return std::string(v.begin(), v.end());
    }

    testsupport::TempDir dir_;
    std::string archivePath_;
    std::string out_;
    vessel5::Archive archive_;
    Events events_;
    std::uint32_t startOffset_ = 0;
};

}  // namespace ziptest
