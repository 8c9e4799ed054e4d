#include "sim/stop_signal.h"

#include <cerrno>
#include <csignal>
#include <ctime>

namespace sim {

namespace {

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void blockStopSignals() {
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int waitForStopSignal(double timeoutSeconds) {
    const sigset_t set = stopSet();
    const long long ns = static_cast<long long>(timeoutSeconds * 1e9);
    const timespec ts{static_cast<time_t>(ns / 1'000'000'000),
                      static_cast<long>(ns % 1'000'000'000)};
    for (;;) {
        const int sig = sigtimedwait(&set, nullptr, &ts);
        if (sig > 0) return sig;
        if (errno != EINTR) return 0;
    }
}

} // namespace sim
