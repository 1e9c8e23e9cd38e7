#include "platform/StopRequest.h"

#include <windows.h>

namespace platform {
namespace {

void (*stopHandler)() = nullptr;

// How long the process may clean up after the console is closed or the session ends, before
// the system ends it (it does so once this handler returns).
constexpr DWORD kCleanUpTime = 4000;

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (stopHandler != nullptr) {
        stopHandler();
    }
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The main thread sees the flag, removes the partial file and leaves; its exit ends
        // this thread too.
        Sleep(kCleanUpTime);
    }
    return TRUE;
}

}  // namespace

void onStopRequest(void (*handler)()) {
    stopHandler = handler;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

}  // namespace platform
