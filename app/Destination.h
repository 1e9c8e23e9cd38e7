// The default destination folder, chosen by the selector byte of the data resource
// "DESTINATION" (sfx::Destination): the Windows, system or temporary folder, the text after the
// byte, or for anything else (or no resource) the current folder.
#pragma once

#include <cstddef>
#include <string>

#include "app/Environment.h"

namespace app {

std::string defaultDestination(Environment& environment);

}  // namespace app
