#include "ground/state.h"

#include "ground/EVOKVX12TWATCHV11.h"
#include "runtime/panel.h"

namespace evok {

int panelHandle = -1;
int panelPopUp = -1;
int com;
int stop_flag;
char proj_dir[kPathMax];
char file_name[kPathMax];
char recfile_name[kPathMax];
char szStatus[256];
char szSoftname[64];
char szSoftversion[64];

namespace {

char lastShown[256];

} // namespace

void ShowStatus(const char* text) {
    CopyText(lastShown, text);
    SetCtrlVal(panelHandle, PANEL_STATUS, text);
}

const char* LastStatus() {
    return lastShown;
}

} // namespace evok
