// Platform part of the run-time start.
#pragma once

namespace events_detail {

// Whether a GUI platform can be reached at all, judged before the application object is made
// (constructing it without one ends the process).
bool guiPlatformAvailable();

} // namespace events_detail
