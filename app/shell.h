// Application shell: entry, start-up, shut-down, the two panels, the COM-port selector, the para II
// toggle and the status line.
#pragma once

#include "runtime/files.h"

#include <cstddef>
#include <cstdio>

namespace evok {

constexpr const char* kPanelFile = "EVOKVX12TWATCHV11.uir";

extern int panelHandle; // main panel
extern int panelPopUp;  // para II panel
extern int com;         // serial port number in use
extern int stop_flag;   // 1 ends the live loop

extern char proj_dir[kPathMax];     // the program's directory
extern char file_name[kPathMax];    // parameter file of the last dialog
extern char recfile_name[kPathMax]; // ring-buffer record file
extern char szStatus[256];          // status text buffer
extern char szSoftname[64];
extern char szSoftversion[64];

// Bounded copy of a text into a character array; never writes past it, always terminates.
template <std::size_t N> void CopyText(char (&target)[N], const char* text) {
    std::snprintf(target, N, "%s", text);
}

// Shows text on the status line.
void ShowStatus(const char* text);

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

int CC_PANEL(int panel, int event, void* callbackData, int eventData1, int eventData2);
int CC_POPUP(int panel, int event, void* callbackData, int eventData1, int eventData2);
int CC_TOGBTNparaII(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CC_DropDCom(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);

} // namespace evok
