// Shared program state: the panel handles, the serial port number, the stop flag, the path
// buffers and the status line. Every folder above may include this; it includes nothing of them.
#pragma once

#include "ground/status_texts.h"
#include "runtime/files.h"

#include <cstddef>
#include <cstdio>

namespace evok {

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

// Shows text on the status line and keeps a copy (LastStatus), so that a caller without panels
// (the command-line companion) can read what the program would have shown.
void ShowStatus(const char* text);

// The text that ShowStatus showed last ("" before the first).
const char* LastStatus();

} // namespace evok
