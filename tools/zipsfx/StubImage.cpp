#include "tools/zipsfx/StubImage.h"

#include <algorithm>

#include "base/Exception.h"
#include "tools/zipsfx/ElfSection.h"
#include "tools/zipsfx/PeResources.h"

namespace tools {

namespace {

const char* const kElfSection = ".zipsfx";

[[noreturn]] void fail(const std::string& message) {
    throw generic::exception(message, "stub");
}

// A block's bytes: what the stub reads up to the first zero, then zeros to the end.
std::vector<std::uint8_t> block(const std::string& what, std::vector<std::uint8_t> content,
                                std::uint64_t capacity) {
    if (content.size() + 1 > capacity) {
        fail(what + " is too long: " + std::to_string(content.size() + 1) +
             " bytes with its terminating zero, the stub holds " + std::to_string(capacity));
    }
    content.resize(static_cast<std::size_t>(capacity), 0);
    return content;
}

void checkText(const std::string& what, const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        fail(what + " must not contain a zero byte");
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
            fail("the destination folder is empty");
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
    fail("the stub is neither a Windows nor an ELF executable");
}

void applySettings(std::vector<std::uint8_t>& image, const StubSettings& settings) {
    // Everything is computed and checked before the first byte changes.
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> writes;
    if (stubKind(image) == StubKind::Windows) {
        auto runs = findRcData(image, "RUN");
        auto destinations = findRcData(image, "DESTINATION");
        if (runs.empty() || destinations.empty()) {
            fail("the stub has no RUN or DESTINATION resource to hold the settings");
        }
        for (const FileRange& r : runs) {
            writes.emplace_back(r.offset, runBlock(settings, r.size));
        }
        for (const FileRange& r : destinations) {
            writes.emplace_back(r.offset, destinationBlock(settings, r.size));
        }
    } else {
        auto section = findElfSection(image, kElfSection);
        if (!section) {
            fail(std::string("the stub has no ") + kElfSection + " section to hold the settings");
        }
        if (section->size < 2 * kSettingsBlockSize) {
            fail(std::string("the stub's ") + kElfSection + " section is too small");
        }
        writes.emplace_back(section->offset, destinationBlock(settings, kSettingsBlockSize));
        writes.emplace_back(section->offset + kSettingsBlockSize,
                            runBlock(settings, kSettingsBlockSize));
    }
    for (const auto& [offset, bytes] : writes) {
        put(image, offset, bytes);
    }
}

}  // namespace tools
