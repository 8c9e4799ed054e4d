// Parameter pages on the controller: connecting to it (port set-up, echo check, both pages and the
// firmware text), the page read, and the teach, reset and refresh commands that read page 0 back.
#pragma once

#include "runtime/panel.h"

namespace evok {

// Opens port, proves the line with the echo check and, on a good echo, reads both parameter pages
// from RAM into the panels and the firmware text. Reports on the status line.
void InitRS232(int port);

// Reads parameter page `page` from RAM or EEPROM into the parameter variables (page 0 only).
// DATFILE: returns at once.
void PushGET(int target, unsigned short page);

// Teach, reset or refresh (orderCode): sends the command with the panels' page-0 words, waits for
// its reply and reads page 0 back from RAM. Returns 1 when the read-back frame came in time, 0
// otherwise (the status line says which wait ran out).
int RunCommand(int orderCode);

CtrlCallback CC_ButtonTeach;
CtrlCallback CC_ButtonReset;
CtrlCallback CC_ButtonRefresh;

} // namespace evok
