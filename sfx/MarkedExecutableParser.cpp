#include "sfx/MarkedExecutableParser.h"

#include <cstring>

#include "sfx/CertificateTable.h"
#include "sfx/Layout.h"
#include "base/Exception.h"

namespace app {

MarkedExecutableParser::MarkedExecutableParser(const std::string& path) {
    if (!file_.open(path)) {
        throw generic::exception("cannot open the executable", "MarkedExecutableParser");
    }
}

std::uint32_t MarkedExecutableParser::archiveOffset() const {
    const std::uint8_t* view = file_.data();
    if (view == nullptr) {
        return sfx::kMarkSize;
    }
    const sfx::Mark wanted = sfx::mark();
    std::uint32_t limit =
        file_.sizeLow() < sfx::kMarkSearchLimit ? file_.sizeLow() : sfx::kMarkSearchLimit;
    // The view may be shorter than the low size word suggests (never longer): a candidate must
    // fit inside what is really mapped.
    const std::uint64_t mapped = file_.size();
    for (std::uint32_t position = 0; position < limit; position += sfx::kMarkSearchStep) {
        if (position + sfx::kMarkSize > mapped) {
            break;
        }
        if (std::memcmp(view + position, wanted.data(), sfx::kMarkSize) == 0) {
            return position + static_cast<std::uint32_t>(sfx::kMarkSize);
        }
    }
    return sfx::kMarkSize;
}

std::uint64_t MarkedExecutableParser::archiveEnd() const {
    const CertificateTable table =
        findCertificateTable(file_.data(), file_.size(), file_.fileSize());
    return table.present ? table.offset : kToEnd;
}

bool MarkedExecutableParser::isSigned() const {
    return findCertificateTable(file_.data(), file_.size(), file_.fileSize()).present;
}

}  // namespace app
