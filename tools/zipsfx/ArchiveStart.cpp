#include "tools/zipsfx/ArchiveStart.h"

#include "io/FileInput.h"
#include "sfx/Layout.h"
#include "sfx/MarkedExecutableParser.h"

namespace tools {

ArchiveRange findArchiveRange(const std::string& path) {
    // Opened first so that a missing file is reported with its path.
    stream::FileInput input(path);
    ArchiveRange range;
    std::uint32_t offset = 0;
    {
        app::MarkedExecutableParser parser(path);
        offset = parser.archiveOffset();
        range.end = parser.archiveEnd();
        range.isSigned = parser.isSigned();
        parser.close();
    }
    // Without a mark the parser answers as if there were one at 0: look whether there is.
    if (offset < sfx::kMarkSize) {
        return range;
    }
    input.seek(offset - sfx::kMarkSize);
    sfx::Mark found{};
    const std::uint32_t got = input.read(found.data(), sfx::kMarkSize);
    input.close();
    range.start = got == sfx::kMarkSize && found == sfx::mark() ? offset : 0;
    return range;
}

}  // namespace tools
