#include "params/transfer.h"

#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "link/com232.h"
#include "link/line.h"
#include "params/binding.h"
#include "params/pages.h"
#include "params/paramset.h"
#include "runtime/files.h"
#include "runtime/panel.h"
#include "runtime/timing.h"

namespace evok {

namespace {

constexpr double kPagePause = 0.1; // between the two pages of a parameter write
constexpr const char* kParaFileFilter = "*.cfg";
constexpr const char* kParaFileTitle = "E-VOK-VX12 Parameter File";
constexpr int kButtonOk = 0;
constexpr int kButtonLoad = 3;
constexpr int kFieldWidth = 5;

// Parameter file dialog: starts in the program's directory with the proposed name; the chosen
// path goes to file_name.
int SelectParaFile(int buttonLabel) {
    return FileSelectPopup(proj_dir, kParaFileName, kParaFileFilter, kParaFileTitle, buttonLabel, 0,
                           1, 1, 1, file_name, sizeof file_name);
}

// One radio button of the target group: on selects its target and switches the other two off;
// switched off, the target falls back to RAM.
void SelectTarget(int control, int newTarget) {
    constexpr int kRadios[] = {PANEL_RBTRAM, PANEL_RBTEEPROM, PANEL_RBTFILE};
    int on = 0;
    GetCtrlVal(panelHandle, control, &on);
    if (on) {
        SetCtrlVal(panelHandle, control, 1);
        target = newTarget;
        for (int radio : kRadios) {
            if (radio != control) SetCtrlVal(panelHandle, radio, 0);
        }
    } else {
        target = RAM;
        SetCtrlVal(panelHandle, PANEL_RBTRAM, 1);
    }
}

bool WritePage(unsigned short page, const char* okText) {
    CopyVarsToPP(page);
    WriteFrame(order, pp);
    if (nBytesW != kFrameBytes) return false;
    ShowStatus(okText);
    return true;
}

} // namespace

int CC_RBTRam(int, int, int event, void*, int, int) {
    if (event == kEvValueChanged) SelectTarget(PANEL_RBTRAM, RAM);
    return 0;
}

int CC_RBTEeprom(int, int, int event, void*, int, int) {
    if (event == kEvValueChanged) SelectTarget(PANEL_RBTEEPROM, EEPROM);
    return 0;
}

int CC_RBTFile(int, int, int event, void*, int, int) {
    if (event == kEvValueChanged) SelectTarget(PANEL_RBTFILE, DATFILE);
    return 0;
}

int CC_BTNSend(int, int, int event, void*, int, int) {
    if (event != kEvLeftClick) return 0;
    ShowStatus(kTextTransmit);
    if (target == DATFILE) {
        if (SelectParaFile(kButtonOk) > 0) SendParaToFile();
        return 0;
    }
    GetPanelValues();
    SendParaPages(target);
    return 0;
}

int CC_BTNGet(int, int, int event, void*, int, int) {
    if (event == kEvLeftClick) ShowStatus(kTextReceive);
    if (event != kEvCommit) return 0;
    if (target == DATFILE) {
        ReadParaFromFile();
    } else {
        order = target == EEPROM ? kOrderReadEeprom : kOrderReadRam;
        PushGET(target, kPage0);
        PushGET(target, kPage1);
    }
    SetPanelValues();
    return 0;
}

int SendParaPages(int pageTarget) {
    sync = kSyncWord;
    order = pageTarget == EEPROM ? kOrderWriteEeprom : kOrderWriteRam;
    const bool first = WritePage(kPage0, kTextTransmitPage0);
    Delay(kPagePause);
    const bool second = WritePage(kPage1, kTextTransmitOk);
    return first && second ? 1 : 0;
}

void SendParaToFile() {
    GetPanelValues();
    WriteParaFile(file_name);
}

int WriteParaFile(const char* path) {
    unsigned int values[kParaFileValues];
    CopyVarsToPP(kPage0);
    for (int i = 0; i < PNUM; ++i)
        values[i] = pp[i];
    CopyVarsToPP(kPage1);
    for (int i = 0; i < PNUM; ++i)
        values[PNUM + i] = pp[i];
    if (ArrayToFile(path, values, kTypeUInt, kParaFileValues, 1, 0, 0, 0, kFieldWidth, 1, 0) < 0) {
        ShowStatus(kTextParaFileNotSaved);
        return -1;
    }
    return 0;
}

void ReadParaFromFile() {
    if (SelectParaFile(kButtonLoad) > 0) LoadParaFile(file_name);
}

int LoadParaFile(const char* path) {
    unsigned int values[kParaFileValues];
    // A file that cannot be read, is short or holds something other than numbers must not
    // leave the parameter set half loaded: nothing is taken then.
    if (FileToArray(path, values, kTypeUInt, kParaFileValues, 1, 0, 0, 1) < 0) {
        ShowStatus(kTextParaFileNotLoaded);
        return -1;
    }
    for (int i = 0; i < PNUM; ++i)
        pp[i] = static_cast<unsigned short>(values[i] & 0xFFFF);
    CopyPPtoVars(kPage0);
    for (int i = 0; i < PNUM; ++i)
        pp[i] = static_cast<unsigned short>(values[PNUM + i] & 0xFFFF);
    CopyPPtoVars(kPage1);
    return 0;
}

} // namespace evok
