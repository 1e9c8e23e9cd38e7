// The POSIX stub's counterpart of the Windows RCDATA resources: the two settings blocks kept in
// an ELF section of their own (sfx/Layout.h), which the builder finds and rewrites in a copy of
// the stub, and the shipper's texts, which the builder puts behind the ELF image and lists in a
// second section.
#pragma once

#include <optional>
#include <string>

#include "sfx/Layout.h"

namespace app {
namespace posix {

// The whole block named "RUN" or "DESTINATION" (sfx::kSettingsBlockSize bytes) or "OPTIONS"
// (sfx::kOptionsBlockSize bytes), the shipper's
// text named "TITLE", "MESSAGE" or "LICENSE" when the file holds one, or nothing.
std::optional<std::string> embeddedResource(const std::string& name);

}  // namespace posix
}  // namespace app
