// POSIX: setenv and SIGINT.
#include "tools/ctl/platform.h"

#include <csignal>
#include <cstdlib>
#include <string>

namespace ctl {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

} // namespace

bool MapPortDevice(int port, const char* device) {
    return setenv(("EVOK_COM" + std::to_string(port)).c_str(), device, 1) == 0;
}

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in progress returns, so the loop sees the flag at once. The handler
    // is reset after the first signal, so a second Ctrl-C ends a program that does not stop.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
    return interrupted != 0;
}

} // namespace ctl
