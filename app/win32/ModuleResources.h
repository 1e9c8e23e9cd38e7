// Reads the program's own data resources (RCDATA) from its module.
#pragma once

#include <optional>
#include <string>

namespace app {
namespace win32 {

// The bytes of the RCDATA resource of that name, or nothing when it cannot be found, loaded
// or locked.
std::optional<std::string> moduleResource(const std::string& name);

}  // namespace win32
}  // namespace app
