#include "tools/zipsfx/Branding.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>

#include "base/Utf8.h"
#include "sfx/Layout.h"
#include "tools/zipsfx/ElfSection.h"
#include "tools/zipsfx/Fail.h"
#include "tools/zipsfx/IconFile.h"
#include "tools/zipsfx/PeImage.h"
#include "tools/zipsfx/PeResources.h"
#include "tools/zipsfx/ResourceTree.h"
#include "tools/zipsfx/StubVersion.h"

namespace tools {

namespace {

constexpr std::uint16_t kNeutral = 0;
// The name of the stub's icon group, which the progress window loads.
constexpr char kIconGroup[] = "ICON";

std::vector<std::uint8_t> readWhole(const std::string& path, const std::string& what,
                                    std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail("cannot open the " + what + " " + path);
    }
    std::vector<std::uint8_t> bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > limit) {
            fail("the " + what + " " + path + " is too large: at most " + std::to_string(limit) +
                     " bytes",
                 "usage");
        }
    }
    if (in.bad()) {
        fail("cannot read the " + what + " " + path);
    }
    return bytes;
}

// The shipper's texts, checked: UTF-8 without zero bytes, within the stub's limits.
struct Texts {
    std::string title;
    std::string message;
    std::string license;
};

void checkText(const std::string& what, const std::string& text, std::size_t limit) {
    if (!base::isValidUtf8(text)) {
        fail(what + " is not UTF-8 text", "usage");
    }
    if (text.find('\0') != std::string::npos) {
        fail(what + " must not contain a zero byte", "usage");
    }
    if (text.size() > limit) {
        fail(what + " is too long: " + std::to_string(text.size()) +
                 " bytes, the stub shows at most " + std::to_string(limit),
             "usage");
    }
}

Texts loadTexts(const Branding& branding) {
    Texts texts;
    texts.title = branding.title;
    texts.message = branding.message;
    checkText("the title", texts.title, sfx::kMaxTitleText);
    for (char c : texts.title) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            fail("the title must be one line without control characters", "usage");
        }
    }
    checkText("the message", texts.message, sfx::kMaxMessageText);
    if (!branding.licensePath.empty()) {
        const auto bytes = readWhole(branding.licensePath, "licence", sfx::kMaxLicenseText + 3);
        texts.license.assign(bytes.begin(), bytes.end());
        if (texts.license.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            texts.license.erase(0, 3);  // a byte order mark is no part of the text
        }
        checkText("the licence " + branding.licensePath, texts.license, sfx::kMaxLicenseText);
        if (texts.license.empty()) {
            fail("the licence " + branding.licensePath + " is empty", "usage");
        }
    }
    return texts;
}

ResourceData bytesOf(const std::string& text) {
    return ResourceData{std::vector<std::uint8_t>(text.begin(), text.end()), 0};
}

// The language of the first version of a resource, so that a replacement keeps it.
std::uint16_t languageOf(const ResourceTree& tree, const ResourceKey& type,
                         const ResourceKey& name) {
    const auto* languages = tree.find(type, name);
    return languages == nullptr || languages->empty() ? kNeutral : languages->begin()->first;
}

void replaceIcon(ResourceTree& tree, const std::vector<IconImage>& images) {
    const ResourceKey groupType = ResourceKey::number(kRtGroupIcon);
    const ResourceKey iconType = ResourceKey::number(kRtIcon);
    std::uint16_t language = kNeutral;
    // Ours goes: every group and the images it lists.
    if (const auto found = tree.types().find(groupType); found != tree.types().end()) {
        const ResourceTree::Names groups = found->second;
        if (!groups.empty() && !groups.begin()->second.empty()) {
            language = groups.begin()->second.begin()->first;
        }
        for (const auto& [name, languages] : groups) {
            for (const auto& [lang, data] : languages) {
                for (std::uint16_t id : iconGroupIds(data.bytes)) {
                    tree.remove(iconType, ResourceKey::number(id));
                }
            }
            tree.remove(groupType, name);
        }
    }
    // The images take the lowest numbers no other icon holds.
    std::vector<std::uint16_t> ids;
    for (std::uint16_t id = 1; ids.size() < images.size(); ++id) {
        if (id == 0xFFFF) {
            fail("the stub has no free icon numbers left", "stub");
        }
        if (tree.find(iconType, ResourceKey::number(id)) == nullptr) {
            ids.push_back(id);
        }
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        tree.put(iconType, ResourceKey::number(ids[i]), language, ResourceData{images[i].bytes, 0});
    }
    tree.put(groupType, ResourceKey::text(kIconGroup), language,
             ResourceData{iconGroup(images, ids), 0});
}

void replaceVersion(ResourceTree& tree, const VersionInfo& version) {
    const ResourceKey type = ResourceKey::number(kRtVersion);
    const ResourceKey name = ResourceKey::number(1);
    std::uint16_t language = kNeutral;
    if (const auto found = tree.types().find(type); found != tree.types().end()) {
        if (!found->second.empty() && !found->second.begin()->second.empty()) {
            language = found->second.begin()->second.begin()->first;
        }
        tree.types().erase(found);  // one version resource, the shipper's
    }
    tree.put(type, name, language, ResourceData{versionResource(version), 0});
}

// The manifest's requested execution level becomes requireAdministrator; the rest stays.
void requestElevation(ResourceTree& tree) {
    const auto found = tree.types().find(ResourceKey::number(kRtManifest));
    if (found == tree.types().end() || found->second.empty()) {
        fail("--admin: the stub has no manifest to ask for elevation", "stub");
    }
    for (auto& [name, languages] : found->second) {
        for (auto& [language, data] : languages) {
            std::string text(data.bytes.begin(), data.bytes.end());
            std::size_t at = text.find("requestedExecutionLevel");
            const std::size_t level = at == std::string::npos ? at : text.find("level=", at + 23);
            const std::size_t close = level == std::string::npos ? level : text.find("/>", level);
            if (level == std::string::npos || close == std::string::npos || level + 7 > close) {
                fail("--admin: the stub's manifest has no requestedExecutionLevel to change",
                     "stub");
            }
            const char quote = text[level + 6];
            const std::size_t end = text.find(quote, level + 7);
            if ((quote != '"' && quote != '\'') || end == std::string::npos || end > close) {
                fail("--admin: the stub's manifest has an unreadable execution level", "stub");
            }
            text.replace(level + 7, end - level - 7, "requireAdministrator");
            data.bytes.assign(text.begin(), text.end());
        }
    }
}

void brandWindows(std::vector<std::uint8_t>& image, const Branding& branding, const Texts& texts,
                  const std::vector<IconImage>& icon) {
    const PeImage pe(image);
    ResourceTree tree;
    if (pe.resourceRva() != 0) {
        tree = ResourceTree::read(pe.resourceSection(image), pe.resourceSectionRva(),
                                  pe.resourceRva() - pe.resourceSectionRva());
    }
    if (!icon.empty()) {
        replaceIcon(tree, icon);
    }
    if (branding.hasVersion()) {
        // The shipper's version resource replaces ours whole; the string that says which zipsfx
        // stub made the file goes with it, so that `zipsfx info` can still tell.
        VersionInfo version = branding.version;
        const std::optional<std::string> made = stubVersion(image);
        if (made && std::none_of(version.strings.begin(), version.strings.end(),
                                 [](const auto& s) { return s.first == ZIPSFX_VERSION_KEY; })) {
            version.strings.emplace_back(ZIPSFX_VERSION_KEY, *made);
        }
        replaceVersion(tree, version);
    }
    if (branding.admin) {
        requestElevation(tree);
    }
    const ResourceKey rcData = ResourceKey::number(kRtRcData);
    const std::pair<const char*, const std::string*> named[] = {
        {sfx::kTitleText, &texts.title},
        {sfx::kMessageText, &texts.message},
        {sfx::kLicenseText, &texts.license}};
    for (const auto& [name, text] : named) {
        const ResourceKey key = ResourceKey::text(name);
        if (!text->empty()) {
            const std::uint16_t language = languageOf(tree, rcData, key);
            tree.remove(rcData, key);
            tree.put(rcData, key, language, bytesOf(*text));
        }
    }
    pe.replaceResources(image, [&](std::uint32_t rva) { return tree.write(rva); });
}

void put32(std::vector<std::uint8_t>& image, std::uint64_t at, std::uint64_t value) {
    for (int i = 0; i < 4; ++i) {
        image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t get32(const std::vector<std::uint8_t>& image, std::uint64_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(image[at + i]) << (8 * i);
    }
    return value;
}

std::optional<FileRange> textTable(const std::vector<std::uint8_t>& image) {
    auto section = findElfSection(image, sfx::kTextsSection);
    if (section && section->size < sfx::kTextTableSize) {
        fail(std::string("the stub's ") + sfx::kTextsSection + " section is too small", "stub");
    }
    return section;
}

void brandElf(std::vector<std::uint8_t>& image, const Texts& texts) {
    const auto table = textTable(image);
    if (!table) {
        fail(std::string("the stub has no ") + sfx::kTextsSection +
                 " section to hold the title, message and licence",
             "stub");
    }
    // Behind the ELF image, which the loader does not read; the table says where.
    const std::string* values[sfx::kTextCount] = {&texts.title, &texts.message, &texts.license};
    std::vector<std::uint8_t> out = image;
    for (std::size_t i = 0; i < sfx::kTextCount; ++i) {
        const std::uint64_t entry = table->offset + i * sfx::kTextTableEntrySize;
        if (values[i]->empty()) {
            continue;
        }
        put32(out, entry, out.size());
        put32(out, entry + 4, values[i]->size());
        out.insert(out.end(), values[i]->begin(), values[i]->end());
    }
    image.swap(out);
}

}  // namespace

void applyBranding(std::vector<std::uint8_t>& image, const Branding& branding) {
    if (!branding.any()) {
        return;
    }
    const bool windows = isPeImage(image);
    if (!windows && (!branding.iconPath.empty() || branding.hasVersion() || branding.admin)) {
        fail(
            "--icon, --version-info, --version and --admin are for the Windows stub; the POSIX "
            "stub has no icon, version resource or elevation",
            "usage");
    }
    const Texts texts = loadTexts(branding);
    std::vector<IconImage> icon;
    if (!branding.iconPath.empty()) {
        icon = parseIcon(readWhole(branding.iconPath, "icon", sfx::kMarkSearchLimit),
                         branding.iconPath);
    }
    if (windows) {
        brandWindows(image, branding, texts, icon);
    } else if (isElfImage(image)) {
        brandElf(image, texts);
    } else {
        fail("the stub is neither a Windows nor an ELF executable", "stub");
    }
}

StubBranding readBranding(const std::vector<std::uint8_t>& image) {
    StubBranding result;
    std::string* values[sfx::kTextCount] = {&result.title, &result.message, &result.license};
    if (isPeImage(image)) {
        const PeImage pe(image);
        if (pe.resourceRva() == 0) {
            return result;
        }
        const ResourceTree tree =
            ResourceTree::read(pe.resourceSection(image), pe.resourceSectionRva(),
                               pe.resourceRva() - pe.resourceSectionRva());
        for (std::size_t i = 0; i < sfx::kTextCount; ++i) {
            const auto* languages =
                tree.find(ResourceKey::number(kRtRcData), ResourceKey::text(sfx::kTextNames[i]));
            if (languages != nullptr && !languages->empty()) {
                const auto& bytes = languages->begin()->second.bytes;
                values[i]->assign(bytes.begin(), bytes.end());
            }
        }
        if (const auto found = tree.types().find(ResourceKey::number(kRtManifest));
            found != tree.types().end()) {
            for (const auto& [name, languages] : found->second) {
                for (const auto& [language, data] : languages) {
                    const std::string text(data.bytes.begin(), data.bytes.end());
                    result.admin =
                        result.admin || text.find("requireAdministrator") != std::string::npos;
                }
            }
        }
        return result;
    }
    const auto table = textTable(image);
    if (!table) {
        return result;
    }
    for (std::size_t i = 0; i < sfx::kTextCount; ++i) {
        const std::uint64_t entry = table->offset + i * sfx::kTextTableEntrySize;
        const std::uint32_t offset = get32(image, entry);
        const std::uint32_t length = get32(image, entry + 4);
        if (length != 0 && offset <= image.size() && length <= image.size() - offset) {
            values[i]->assign(image.begin() + offset, image.begin() + offset + length);
        }
    }
    return result;
}

}  // namespace tools
