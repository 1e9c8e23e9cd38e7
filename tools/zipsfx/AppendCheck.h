// Decides whether an existing Zip may be appended to a stub as it is, with the reader the stub
// uses, so that `zipsfx make` refuses before it creates anything.
#pragma once

#include <string>
#include <vector>

namespace tools {

// Refuses, with a message naming the entry, a Zip that the stub could not extract as it is: one
// the stub's reader cannot read (Zip64 records are read like any others), several disks, an
// entry with an absolute or ".." name, a method the stub does not decode, a version needed
// above 4.5, or an entry whose local header is not where its central record says. Returns the
// entries' names as the stub will extract them, in central directory order.
std::vector<std::string> checkAppendable(const std::string& path);

}  // namespace tools
