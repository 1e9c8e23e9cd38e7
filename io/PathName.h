// Turning a stored name into a usable path: absolute names, forbidden characters, free names
// for taken ones and names that fit the platform's path limit.
#pragma once

#include <cstddef>
#include <string>

namespace io {

// Replaces path by its absolute form, "." and ".." removed (an empty path is the current
// folder). Throws io::Exception "cannot resolve " + path + " to an absolute name".
void makeAbsolute(std::string& path);

// Removes control characters, the other separator (the native one and the colon stay) and, on
// Windows, " * < > ? |; bytes of UTF-8 characters stay. True when something was removed.
bool sanitize(std::string& path);

// When something of that name exists, changes path to the first free name with a suffix _1 to
// _limit before its extension, keeping within the platform's path and name limits; true when it
// changed it. Throws io::Exception "io::Path::makeUnique() cannot resolve name conflict for " + the
// last candidate when all are taken.
bool makeUnique(std::string& path, unsigned limit);

// The n-th numbered form of path: the suffix _n before its extension, the stem shortened (whole
// characters) as needed to keep within the platform's path limit and its name limit
// (platform::kMaxNameLength), the extension too when the name is nearly all extension. Looks at
// nothing on disk.
std::string numberedName(const std::string& path, unsigned n);

// Shortens path to at most maximum characters, keeping its folder and, where room allows, its
// extension; true when it shortened. Throws io::Exception "cannot truncate " + path when the
// folder leaves too little room.
bool truncate(std::string& path, std::size_t maximum);

}  // namespace io
