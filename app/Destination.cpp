#include "app/Destination.h"

#include "platform/Platform.h"
#include "sfx/Layout.h"

namespace app {

namespace {

// The text of a resource block: up to its first zero byte, at most `limit` characters.
std::string textOf(const std::string& bytes, std::size_t offset, std::size_t limit) {
    if (offset >= bytes.size()) {
        return std::string();
    }
    std::string text = bytes.substr(offset, limit);
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos) {
        text.resize(zero);
    }
    return text;
}

}  // namespace

std::string defaultDestination(Environment& environment) {
    std::string folder = environment.folder(Environment::Folder::current);
    const auto block = environment.resource(sfx::kDestinationBlock);
    if (block && !block->empty()) {
        switch (static_cast<sfx::Destination>((*block)[0])) {
            case sfx::Destination::Windows:
                folder = environment.folder(Environment::Folder::windows);
                break;
            case sfx::Destination::System:
                folder = environment.folder(Environment::Folder::system);
                break;
            case sfx::Destination::Temp:
                folder = environment.folder(Environment::Folder::temporary);
                break;
            case sfx::Destination::Folder:
                folder = textOf(*block, 1, sfx::kMaxSettingsText);
                break;
            default:
                break;
        }
    }
    // One trailing separator goes (a temporary folder usually carries one). The POSIX root
    // keeps its only character: without it the destination would silently become "".
    const bool root = folder.size() == 1 && platform::kSeparator == '/';
    if (!folder.empty() && folder.back() == platform::kSeparator && !root) {
        folder.pop_back();
    }
    return folder;
}

}  // namespace app
