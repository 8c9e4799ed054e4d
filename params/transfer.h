// Parameter transfer between the panels and the controller's RAM or EEPROM or a parameter file.
#pragma once

#include "runtime/panel.h"

namespace evok {

constexpr const char* kParaFileName = "VX12para.cfg";
constexpr int kParaFileValues = 32; // page 0 then page 1

CtrlCallback CC_RBTRam;
CtrlCallback CC_RBTEeprom;
CtrlCallback CC_RBTFile;
CtrlCallback CC_BTNSend;
CtrlCallback CC_BTNGet;

// Writes the parameter variables to the controller's RAM or EEPROM (pageTarget): page 0, a pause
// of 0.1 s, page 1. Returns 1 when both frames were written whole, 0 otherwise.
int SendParaPages(int pageTarget);

// Writes the panels' parameter set to file_name. Shows a status text when the file cannot be
// written.
void SendParaToFile();

// Writes the parameter variables to path as a parameter file (page 0, then page 1). Returns 0, or
// -1 after showing why the file could not be written.
int WriteParaFile(const char* path);

// Lets the operator choose a parameter file and loads it (LoadParaFile).
void ReadParaFromFile();

// Loads the parameter file path into the parameter variables. A file that cannot be read or holds
// fewer than 32 numbers changes nothing, says so on the status line and returns -1; otherwise 0.
int LoadParaFile(const char* path);

} // namespace evok
