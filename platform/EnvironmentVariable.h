// Reads one variable of the process environment, as UTF-8 text on both platforms: the host tool
// takes a few settings from there (where its stubs lie, for one).
#pragma once

#include <optional>
#include <string>

namespace platform {

// The variable's value, or nothing when it is not set. An empty value is returned as set.
std::optional<std::string> environmentVariable(const std::string& name);

}  // namespace platform
