// The system's own code page for names that an archive stores without saying their encoding.
#pragma once

#include <string>

namespace platform {

// Decodes bytes of the OEM code page (what DOS and Windows' own archivers write) to UTF-8; false
// where the system has no such code page, and the portable code page 437 table applies.
bool oemToUtf8(const std::string& bytes, std::string& utf8);

}  // namespace platform
