// The ticks of coalescing timer controls that have come due: delivered before the run-time runs
// any other program code, so that code sees every tick in its place.
#pragma once

namespace panelsvc {

// Raises the timer-tick event for every tick of a coalescing timer control that has come due and
// not been delivered. Does nothing when called from inside such a delivery.
void DeliverDueTicks();

} // namespace panelsvc
