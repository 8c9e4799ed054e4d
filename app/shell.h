// Application shell: entry, start-up, shut-down, the two panels, the COM-port selector and the
// para II toggle. The shared state they set up is in ground/state.h.
#pragma once

#include "runtime/panel.h"

#include "ground/state.h"

namespace evok {

constexpr const char* kPanelFile = "EVOKVX12TWATCHV11.uir";

// The program: start-up, event loop until the main panel is closed, shut-down. Returns 0 after a
// normal end, -1 when the run-time or a panel cannot be set up (nothing shown then).
int WinMain();

// WinMain's steps, for callers that drive the event loop themselves (tests, benchmarks):
// StartUp runs everything up to showing the main panel and returns 0, or -1 as WinMain;
// ShutDown closes the port and discards both panels.
int StartUp();
void ShutDown();

// Start-up values, file names, header, panel values, histories and arrays.
void InitVars();

PanelCallback CC_PANEL;
PanelCallback CC_POPUP;
CtrlCallback CC_TOGBTNparaII;
CtrlCallback CC_DropDCom;

} // namespace evok
