// Seconds clock and pause.
#pragma once

// Seconds from a fixed point in the past on a monotonic clock (never goes backwards); durations
// are differences of two readings. Resolution well under a millisecond.
double Timer();

// Waits the given number of seconds without processing any event. Returns 0.
int Delay(double seconds);
