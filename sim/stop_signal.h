// Ending the simulator program cleanly on Ctrl-C, kill or a closed terminal.
#pragma once

namespace sim {

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread and in every thread it starts later,
// so that they wait for waitForStopSignal() instead of ending the process. Call before starting
// threads.
void blockStopSignals();

// Waits up to `timeoutSeconds` for one of them; returns its number, or 0 when none came.
int waitForStopSignal(double timeoutSeconds);

} // namespace sim
