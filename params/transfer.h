// Parameter transfer between the panels and the controller's RAM or EEPROM or a parameter file.
#pragma once

namespace evok {

constexpr const char* kParaFileName = "VX12para.cfg";
constexpr int kParaFileValues = 32; // page 0 then page 1

int CC_RBTRam(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CC_RBTEeprom(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_RBTFile(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_BTNSend(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_BTNGet(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);

// Writes the panels' parameter set to file_name. Shows a status text when the file cannot be
// written.
void SendParaToFile();

// Lets the operator choose a parameter file and loads it; a file that cannot be read or holds
// fewer than 32 numbers changes nothing and says so on the status line.
void ReadParaFromFile();

} // namespace evok
