#include "tools/zipsfx/StubImage.h"

#include <algorithm>

#include "tools/zipsfx/Fail.h"
#include "tools/zipsfx/ElfSection.h"
#include "tools/zipsfx/PeResources.h"

namespace tools {

namespace {

// A block's bytes: what the stub reads up to the first zero, then zeros to the end.
std::vector<std::uint8_t> block(const std::string& what, std::vector<std::uint8_t> content,
                                std::uint64_t capacity) {
    if (content.size() + 1 > capacity) {
        fail(what + " is too long: " + std::to_string(content.size() + 1) +
                 " bytes with its terminating zero, the stub holds " + std::to_string(capacity),
             "stub");
    }
    content.resize(static_cast<std::size_t>(capacity), 0);
    return content;
}

void checkText(const std::string& what, const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        fail(what + " must not contain a zero byte", "stub");
    }
}

std::vector<std::uint8_t> runBlock(const StubSettings& s, std::uint64_t capacity) {
    checkText("the RUN command line", s.run);
    return block("the RUN command line", std::vector<std::uint8_t>(s.run.begin(), s.run.end()),
                 capacity);
}

std::vector<std::uint8_t> destinationBlock(const StubSettings& s, std::uint64_t capacity) {
    std::vector<std::uint8_t> content{static_cast<std::uint8_t>(s.destination)};
    if (s.destination == Destination::Folder) {
        checkText("the destination folder", s.folder);
        if (s.folder.empty()) {
            fail("the destination folder is empty", "stub");
        }
        content.insert(content.end(), s.folder.begin(), s.folder.end());
    }
    return block("the destination folder", std::move(content), capacity);
}

void put(std::vector<std::uint8_t>& image, std::uint64_t offset,
         const std::vector<std::uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace

StubKind stubKind(const std::vector<std::uint8_t>& image) {
    if (isPeImage(image)) {
        return StubKind::Windows;
    }
    if (isElfImage(image)) {
        return StubKind::Elf;
    }
    fail("the stub is neither a Windows nor an ELF executable", "stub");
}

namespace {

// Where the stub keeps its blocks: every RUN and DESTINATION resource (Windows), or the two
// blocks of its section (ELF).
struct BlockPlaces {
    std::vector<FileRange> runs;
    std::vector<FileRange> destinations;
    std::vector<FileRange> options;  // empty for a stub made before the block existed
};

BlockPlaces blockPlaces(const std::vector<std::uint8_t>& image) {
    BlockPlaces places;
    if (stubKind(image) == StubKind::Windows) {
        places.runs = findRcData(image, sfx::kRunBlock);
        places.destinations = findRcData(image, sfx::kDestinationBlock);
        if (places.runs.empty() || places.destinations.empty()) {
            fail("the stub has no RUN or DESTINATION resource to hold the settings", "stub");
        }
        places.options = findRcData(image, sfx::kOptionsBlock);
        return places;
    }
    auto section = findElfSection(image, sfx::kSettingsSection);
    if (!section) {
        fail(std::string("the stub has no ") + sfx::kSettingsSection +
                 " section to hold the settings",
             "stub");
    }
    if (section->size < 2 * sfx::kSettingsBlockSize) {
        fail(std::string("the stub's ") + sfx::kSettingsSection + " section is too small", "stub");
    }
    places.destinations.push_back(FileRange{section->offset, sfx::kSettingsBlockSize});
    places.runs.push_back(
        FileRange{section->offset + sfx::kSettingsBlockSize, sfx::kSettingsBlockSize});
    if (const auto options = findElfSection(image, sfx::kOptionsSection)) {
        places.options.push_back(*options);
    }
    return places;
}

using Writes = std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>>;

void apply(std::vector<std::uint8_t>& image, const Writes& writes) {
    for (const auto& [offset, bytes] : writes) {
        put(image, offset, bytes);
    }
}

std::vector<std::uint8_t> optionsBlock(const StubSettings& s, std::uint64_t capacity) {
    std::vector<std::uint8_t> content(static_cast<std::size_t>(capacity), 0);
    if (!content.empty()) {
        content[0] = static_cast<std::uint8_t>((s.wait ? sfx::kOptionWait : 0) |
                                               (s.temp ? sfx::kOptionTemp : 0));
    }
    return content;
}

// The text a block holds: up to its first zero byte, at most the stub's limit.
std::string textAt(const std::vector<std::uint8_t>& image, const FileRange& r, std::size_t skip) {
    std::string text;
    for (std::uint64_t i = skip; i < r.size && text.size() < sfx::kMaxSettingsText; ++i) {
        const std::uint8_t byte = image[static_cast<std::size_t>(r.offset + i)];
        if (byte == 0) {
            break;
        }
        text += static_cast<char>(byte);
    }
    return text;
}

}  // namespace

StubSettings readSettings(const std::vector<std::uint8_t>& image) {
    const BlockPlaces places = blockPlaces(image);
    StubSettings settings;
    settings.run = textAt(image, places.runs.front(), 0);
    const FileRange& destination = places.destinations.front();
    if (destination.size > 0) {
        const auto selector = image[static_cast<std::size_t>(destination.offset)];
        settings.destination = selector <= static_cast<std::uint8_t>(Destination::Folder)
                                   ? static_cast<Destination>(selector)
                                   : Destination::Current;
        if (settings.destination == Destination::Folder) {
            settings.folder = textAt(image, destination, 1);
        }
    }
    if (!places.options.empty() && places.options.front().size > 0) {
        const std::uint8_t flags = image[static_cast<std::size_t>(places.options.front().offset)];
        settings.wait = (flags & sfx::kOptionWait) != 0;
        settings.temp = (flags & sfx::kOptionTemp) != 0;
    }
    return settings;
}

void applySettings(std::vector<std::uint8_t>& image, const StubSettings& settings) {
    // Everything is computed and checked before the first byte changes.
    const BlockPlaces places = blockPlaces(image);
    if ((settings.wait || settings.temp) && places.options.empty()) {
        fail(
            "the stub has no OPTIONS block to hold --wait or --temp (a stub older than these "
            "options)",
            "stub");
    }
    Writes writes;
    for (const FileRange& r : places.options) {
        writes.emplace_back(r.offset, optionsBlock(settings, r.size));
    }
    for (const FileRange& r : places.runs) {
        writes.emplace_back(r.offset, runBlock(settings, r.size));
    }
    for (const FileRange& r : places.destinations) {
        writes.emplace_back(r.offset, destinationBlock(settings, r.size));
    }
    apply(image, writes);
}

void applyRun(std::vector<std::uint8_t>& image, const std::string& run) {
    const BlockPlaces places = blockPlaces(image);
    StubSettings settings;
    settings.run = run;
    Writes writes;
    for (const FileRange& r : places.runs) {
        if (r.size != sfx::kSettingsBlockSize) {
            fail("the stub's RUN block holds " + std::to_string(r.size) + " bytes, not " +
                     std::to_string(sfx::kSettingsBlockSize),
                 "stub");
        }
        writes.emplace_back(r.offset, runBlock(settings, r.size));
    }
    apply(image, writes);
}

}  // namespace tools
