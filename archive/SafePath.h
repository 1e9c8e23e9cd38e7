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

// The cleaner for names read from archives, which are UTF-8: works on characters, never on
// bytes of a longer character. Drops the control characters U+0000 to U+001F and U+007F, puts
// '_' for each character the platform forbids in names (on Windows < > " | ? *; ':' is left to
// safeComponents) and U+FFFD for each byte that is not UTF-8. Look-alike separators such as
// U+2215 and U+FF0F are ordinary characters. True when it changed the name.
bool cleanNameCharacters(std::string& name);

// Why the output path of a stored name cannot be created on this platform (a component longer
// than platform::kMaxNameBytes, or prefix and name longer than platform::kMaxPathLength), or ""
// when it can. Checked for every entry before an extraction writes anything.
std::string pathLengthProblem(const std::string& prefix,
                              const std::vector<std::string>& components);

// Whether a stored name asks for a place outside the folder it is joined to: it begins with a
// separator or a drive prefix, or has a ".." component. safeComponents mends such a name (it
// drops those parts); the tool refuses to put one where the stub would have to.
bool isAbsoluteOrClimbing(const std::string& storedName);

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 (also with a superscript digit), in any
// case, alone or followed by an extension or blanks.
bool isReservedDeviceName(const std::string& component);

// Whether a single component, used as it stands, names something inside its folder: not empty,
// not "." or ".." (also hidden behind trailing dots and blanks), no ':' and no separator, not
// a reserved device name.
bool isSafeComponent(const std::string& component);

}  // namespace vessel5
