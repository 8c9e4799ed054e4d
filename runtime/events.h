// Run-time start and event processing. Every callback of the panels, the timer control and the
// serial receive notification runs on the GUI thread, inside RunUserInterface or inside a
// ProcessSystemEvents call.
#pragma once

// Starts the run-time (the GUI application object) unless it is already running. Returns 1 on
// success, 0 when no GUI can be started. Must come before every other panel or event call.
int StartRuntime();

// Runs the event loop until QuitUserInterface. Returns the value given to QuitUserInterface
// (-1 at once when the loop is already running or no run-time has been started).
int RunUserInterface();

// Makes the running (outermost) event loop return value once control gets back to it. Callbacks
// still running in nested event processing finish first.
int QuitUserInterface(int value);

// Runs all pending events (callbacks, timer ticks, serial notifications, operator input, posted
// events) and returns. When nothing is pending it waits for the next event of any kind and runs
// it before returning, or returns after at most 15 ms when none comes (or at the calling loop's
// own limit, see SetWaitLimit): a loop that calls it and tests a time limit once per pass holds no
// core and sees its limit passed within 20 ms. Serial data arriving on an open port ends the wait
// at once. Returns 0.
int ProcessSystemEvents();

// Tells the pump the Timer() value at which the calling waiting loop's own time limit runs out
// (0: none). Until a millisecond after it, a wait of that loop's ProcessSystemEvents calls ends
// with the next event only: the loop sees its limit passed within about a millisecond and wakes
// no sooner. After it, and in loops nested in callbacks, the 15 ms bound holds. The loop sets it
// whenever its limit moves and clears it when it ends.
void SetWaitLimit(double at);
