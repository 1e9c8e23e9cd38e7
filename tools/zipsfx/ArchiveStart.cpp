#include "tools/zipsfx/ArchiveStart.h"

#include <algorithm>

#include "sfx/Mark.h"
#include "sfx/MarkedExecutableParser.h"
#include "io/FileInput.h"

namespace tools {

std::uint32_t findArchiveStart(const std::string& path) {
    // Opened first so that a missing file is reported with its path.
    stream::FileInput input(path);
    std::uint32_t offset = 0;
    {
        app::MarkedExecutableParser parser(path);
        offset = parser.archiveOffset();
        parser.close();
    }
    // Without a mark the parser answers as if there were one at 0: look whether there is.
    if (offset < app::kMarkSize) {
        return 0;
    }
    input.seek(offset - app::kMarkSize);
    app::Mark found{};
    const std::uint32_t got = input.read(found.data(), app::kMarkSize);
    input.close();
    return got == app::kMarkSize && found == app::mark() ? offset : 0;
}

}  // namespace tools
