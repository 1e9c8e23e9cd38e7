// Requests to stop the whole program from outside it: Ctrl-C, and also the end of the session
// (SIGTERM and SIGHUP on POSIX; the console window closed, logoff or shutdown on Windows). Each
// ends a run the way the Cancel button does, so that no partial file is left behind.
#pragma once

namespace platform {

// Calls `handler` on each such request. The handler runs in a signal handler (POSIX) or on a
// thread of its own (Windows): it may only set a flag. A waiting read or question is
// interrupted (no automatic restart) so that the flag is seen at once. For the Windows events
// that end the process once their handler returns, the process is given a few seconds to
// clean up first.
void onStopRequest(void (*handler)());

}  // namespace platform
