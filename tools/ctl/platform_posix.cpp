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
    // stays: a Ctrl-C often comes twice at once (the terminal's and a wrapper's such as
    // timeout(1), which passes it on), and the second must not cut the last row in half.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
    return interrupted != 0;
}

} // namespace ctl
