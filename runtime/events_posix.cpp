// Run-time start on POSIX desktops: a GUI needs an X11 or Wayland display, or an explicitly
// chosen Qt platform (offscreen for tests, eglfs, vnc ...).
#include "runtime/events_platform.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <poll.h>

namespace events_detail {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

} // namespace

bool guiPlatformAvailable() {
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

bool waitForInput(const std::intptr_t* handles, int count, double seconds) {
    constexpr int kMaxHandles = 32;
    pollfd fds[kMaxHandles];
    const int n = count < kMaxHandles ? count : kMaxHandles;
    for (int i = 0; i < n; ++i)
        fds[i] = pollfd{static_cast<int>(handles[i]), POLLIN, 0};
    timespec limit{};
    if (seconds > 0) {
        limit.tv_sec = static_cast<time_t>(seconds);
        limit.tv_nsec = static_cast<long>((seconds - static_cast<double>(limit.tv_sec)) * 1e9);
    }
    // One system call: a wait of a millisecond costs one wake-up, whatever the GUI has pending
    // behind it (that is looked at again right after).
    const int ready = ppoll(fds, static_cast<nfds_t>(n), &limit, nullptr);
    return ready > 0 || (ready < 0 && errno == EINTR);
}

} // namespace events_detail
