// The companion's commands: each opens the port that evok::com names, proves the line with the
// echo check and runs the operator program's own transactions, printing results on stdout and the
// program's status texts on stderr when something fails.
#pragma once

namespace ctl {

enum Exit : int {
    kExitDone = 0,
    kExitNoReply = 1, // no or bad reply from the controller
    kExitUsage = 2,   // bad arguments, or a file that cannot be read or written
    kExitPort = 3,    // the port cannot be opened
    kExitVerify = 4,  // the page read back differs from the page sent
};

int Info();
int Get(bool eeprom, const char* outFile);
int Send(const char* file, bool eeprom);
int Ring(const char* outFile);
int Block(int source);
// frames 0: until Ctrl-C.
int Watch(long frames, bool csv);
// Teach, reset or refresh (the order code).
int Command(int orderCode);

// Closes the port (harmless when it is not open).
void Finish();

} // namespace ctl
