// The POSIX stub's counterpart of the Windows RCDATA resources: the two settings blocks kept in
// an ELF section of their own and the options block in another (sfx/Layout.h), which the builder
// finds and rewrites in a copy of the stub.
#pragma once

#include <optional>
#include <string>

#include "sfx/Layout.h"

namespace app {
namespace posix {

// The whole block named "RUN" or "DESTINATION" (sfx::kSettingsBlockSize bytes) or "OPTIONS"
// (sfx::kOptionsBlockSize bytes), or nothing for any other name.
std::optional<std::string> embeddedResource(const std::string& name);

}  // namespace posix
}  // namespace app
