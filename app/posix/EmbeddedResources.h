// The POSIX stub's counterpart of the Windows RCDATA resources: two fixed-size blocks kept in an
// ELF section of their own (".zipsfx"), which the builder finds and rewrites in a copy of the stub.
#pragma once

#include <optional>
#include <string>

namespace app {
namespace posix {

constexpr std::size_t kResourceBlockSize = 261;

// The whole block named "RUN" or "DESTINATION" (kResourceBlockSize bytes), or nothing for any
// other name.
std::optional<std::string> embeddedResource(const std::string& name);

}  // namespace posix
}  // namespace app
