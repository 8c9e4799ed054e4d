// Run-time start for programs without panels (the command-line companion): the serial service,
// its receive notification and ProcessSystemEvents work; no display is needed or used.
#pragma once

// Starts a non-GUI application object unless one is already running (a GUI one serves as well).
// Returns 1. Panel calls made afterwards find no panel and change nothing.
int StartConsoleRuntime();
