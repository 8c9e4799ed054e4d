// Low-latency mode on Linux: the ASYNC_LOW_LATENCY flag of the driver's serial settings. The
// USB adapters' driver then sets the adapter's latency timer to 1 ms, and back to its own value
// when the flag is cleared. An unprivileged user may change this flag alone.
#include "runtime/serial_device.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace serial_detail {

namespace {

// Returns true when the driver had the flag the other way and took the change.
bool switchLowLatency(std::intptr_t handle, bool on) {
    const int fd = static_cast<int>(handle);
    serial_struct settings{};
    // A pseudo-terminal answers ENOTTY, drivers without the settings EINVAL or ENOTTY.
    if (ioctl(fd, TIOCGSERIAL, &settings) != 0) return false;
    if (((settings.flags & ASYNC_LOW_LATENCY) != 0) == on) return false;
    // The rest is handed back as read: an unprivileged change of anything else is refused.
    if (on)
        settings.flags |= ASYNC_LOW_LATENCY;
    else
        settings.flags &= ~ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &settings) == 0;
}

} // namespace

bool beginLowLatency(std::intptr_t handle) {
    return switchLowLatency(handle, true);
}

void endLowLatency(std::intptr_t handle) {
    switchLowLatency(handle, false);
}

} // namespace serial_detail
