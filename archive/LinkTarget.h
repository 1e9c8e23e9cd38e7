// Judges the target of a symbolic link stored in an archive before the link is made: it must
// lead to a place inside the destination folder, judged from the folder the link lies in.
#pragma once

#include <string>
#include <vector>

namespace vessel5 {

// Walks the target from linkFolder (the components of the folder the link lies in, below the
// destination) as the system will, and gives its place as components below the destination.
// Returns "" when the target is taken, else why not, in words for a skip message: it is empty,
// absolute (a leading separator or a drive prefix), climbs above the destination with "..", or
// holds a byte the system would read otherwise than this walk: a NUL (where the system's text
// ends) or a backslash (an ordinary character to a POSIX system, a separator to Windows). So the
// walk is the system's, on exactly the bytes the system is given.
// passed receives every place the walk goes through on the way (not where it ends): each must
// be a real folder when the link is made, or the system's walk could differ from this one.
std::string resolveLinkTarget(const std::vector<std::string>& linkFolder, const std::string& target,
                              std::vector<std::string>& resolved,
                              std::vector<std::vector<std::string>>* passed = nullptr);

}  // namespace vessel5
