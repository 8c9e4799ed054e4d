// Platform part of the run-time start and of the event pump's wait.
#pragma once

#include <cstdint>

namespace events_detail {

// Whether a GUI platform can be reached at all, judged before the application object is made
// (constructing it without one ends the process).
bool guiPlatformAvailable();

// Waits at most `seconds` until one of the handles has something to read (or has hung up or
// failed). Returns true when one has, false when the time passed.
bool waitForInput(const std::intptr_t* handles, int count, double seconds);

} // namespace events_detail
