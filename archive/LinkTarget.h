// Judges the target of a symbolic link stored in an archive before the link is made: it must
// lead to a place inside the destination folder, judged from the folder the link lies in.
#pragma once

#include <string>
#include <vector>

namespace vessel5 {

// The target's place as components below the destination, or false when the target is empty,
// absolute (a leading separator or a drive prefix) or climbs above the destination with "..".
// linkFolder holds the components of the folder the link lies in, below the destination.
// passed receives every place the walk goes through on the way (not where it ends): a link at
// any of them would make the system's walk differ from this one.
bool resolveLinkTarget(const std::vector<std::string>& linkFolder, const std::string& target,
                       std::vector<std::string>& resolved,
                       std::vector<std::vector<std::string>>* passed = nullptr);

}  // namespace vessel5
