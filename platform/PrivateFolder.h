// A private working folder for one run: made under the temporary folder so that only this user
// may enter it, and deleted with everything in it when the run is over.
#pragma once

#include <string>

namespace platform {

// Makes a new, uniquely named folder under the temporary folder (POSIX: $TMPDIR or /tmp, mode
// 0700; Windows: GetTempPathW, its access list granting this user alone). Empty when none can
// be made.
std::string makePrivateTemporaryFolder();

// Deletes the folder and everything in it, links themselves rather than what they lead to (a
// link is never followed). Goes on past what cannot be deleted; true when the folder is gone.
bool removeTree(const std::string& path);

// Lets the given number of milliseconds pass.
void pauseMilliseconds(unsigned milliseconds);

}  // namespace platform
