#pragma once
// Picks one of the three times from a runtime status record. Both backends fill a record of
// their own runtime's type (struct stat, struct _stat) with the same field names. Include it
// after the system headers, where st_ctime and its kin may be macros naming the fields.

#include <cstdint>

#include "platform/FileTime.h"

namespace platform {

template <typename Status>
std::uint32_t statusSeconds(const Status& st, TimeKind kind) {
    switch (kind) {
        case TimeKind::Creation:
            return static_cast<std::uint32_t>(st.st_ctime);
        case TimeKind::Access:
            return static_cast<std::uint32_t>(st.st_atime);
        case TimeKind::Modification:
            return static_cast<std::uint32_t>(st.st_mtime);
    }
    return 0;
}

}  // namespace platform
