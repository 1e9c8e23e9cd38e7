// Turns a name stored in an archive into path components that stay below the folder they are
// joined to, whatever the name holds. The rules are listed with FormatReader::makeOutputPath.
#pragma once

#include <string>
#include <vector>

namespace vessel5 {

// Removes characters that may not appear in a file name; true when it removed something.
using NameCleaner = bool (*)(std::string& name);

// Splits a stored name at '/' and '\' and mends each component; a null cleaner keeps every
// character. The result may be empty when nothing usable is left.
std::vector<std::string> safeComponents(const std::string& storedName, NameCleaner clean);

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 (also with a superscript digit), in any
// case, alone or followed by an extension or blanks.
bool isReservedDeviceName(const std::string& component);

// Whether a single component, used as it stands, names something inside its folder: not empty,
// not "." or ".." (also hidden behind trailing dots and blanks), no ':' and no separator, not
// a reserved device name.
bool isSafeComponent(const std::string& component);

}  // namespace vessel5
