// Run-time start on POSIX desktops: a GUI needs an X11 or Wayland display, or an explicitly
// chosen Qt platform (offscreen for tests, eglfs, vnc ...).
#include "runtime/events_platform.h"

#include <cstdlib>

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

} // namespace events_detail
