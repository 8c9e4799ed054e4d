// The frame monitor: a window listing the frames of the line, fed from a source that the program
// hands over (the service knows nothing of frames). Closed until opened; while it is closed it
// costs nothing. It can pause, clear and save its lines as text.
#pragma once

// Frames held so far (a count that only grows), and frame n as one line of text (its length, or
// -1 when frame n is no longer held).
using MonitorCountFn = unsigned long long (*)();
using MonitorLineFn = int (*)(unsigned long long n, char* text, int size);

// Hands the source over; the window shows every frame from the first one still held.
void SetMonitorSource(MonitorCountFn count, MonitorLineFn line, int lineMax);
// Shows the window (raised, above the panels) and brings it up to date.
void OpenFrameMonitor();
// Closes and forgets the window (the source stays).
void CloseFrameMonitor();
