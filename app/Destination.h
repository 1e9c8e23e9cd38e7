// The default destination folder, chosen by the selector byte of the data resource
// "DESTINATION": 1 Windows folder, 2 system folder, 3 temporary folder, 4 the text after the
// byte, anything else (or no resource) the current folder.
#pragma once

#include <cstddef>
#include <string>

#include "app/Environment.h"

namespace app {

// Longest folder text taken from the resource after selector 4.
constexpr std::size_t kMaxResourceText = 259;

std::string defaultDestination(Environment& environment);

}  // namespace app
