#include "platform/StopRequest.h"

#include <signal.h>

#include <initializer_list>

namespace platform {
namespace {

void (*stopHandler)() = nullptr;

extern "C" void onSignal(int) {
    if (stopHandler != nullptr) {
        stopHandler();
    }
}

}  // namespace

void onStopRequest(void (*handler)()) {
    stopHandler = handler;
    // No SA_RESTART: a request must also end a question that is waiting for input.
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace platform
