// What the companion needs from the operating system beyond the run-time: naming the device of a
// port for this process, and Ctrl-C as a request to stop.
#pragma once

namespace ctl {

// Port `port` is `device` for the rest of this process (the serial service's EVOK_COM<n>).
// Returns false when the environment cannot be changed.
bool MapPortDevice(int port, const char* device);

// From now on the first Ctrl-C (SIGINT) only raises Interrupted(); a second one ends the process.
void CatchInterrupt();
bool Interrupted();

} // namespace ctl
