// Entry, start-up, shut-down, the panel callbacks, the para II toggle and the COM-port selector.
#include "ground/EVOKVX12TWATCHV11.h"
#include "app/callbacks.h"
#include "app/logo.h"
#include "app/shell.h"
#include "link/com232.h"
#include "link/line.h"
#include "link/trace.h"
#include "params/binding.h"
#include "params/pages.h"
#include "params/paramset.h"
#include "params/transfer.h"
#include "runtime/events.h"
#include "runtime/files.h"
#include "runtime/monitor.h"
#include "runtime/panel.h"
#include "runtime/panel_hooks.h"
#include "runtime/recording.h"
#include "views/datablock.h"
#include "views/live.h"

namespace evok {

namespace {

constexpr const char* kRecordFileName = "EVokRecord.dat";
constexpr int kBrandVariant = 2;

// The frame monitor (Ctrl+M on either panel, or the status line's context menu) and the live
// recording (the strip charts' context menu): beside the panels' fixed layout.
void InstallCompanions() {
    SetMonitorSource(TraceCount, TraceLine, kTraceLineMax);
    InstallPanelShortcut(panelHandle, "Ctrl+M", OpenFrameMonitor);
    InstallPanelShortcut(panelPopUp, "Ctrl+M", OpenFrameMonitor);
    AddCtrlMenuItem(panelHandle, PANEL_STATUS, "Frame monitor...", OpenFrameMonitor);
    InitLiveRecording();
}

} // namespace

void InitVars() {
    SetStartValues();
    CopyText(szStatus, kTextInitVars);
    CopyText(recfile_name, kRecordFileName);
    CopyText(file_name, kParaFileName);
    MakePathname(proj_dir, kRecordFileName, recfile_name, sizeof recfile_name);
    SetCtrlVal(panelPopUp, POPUP_RECFILENAME, recfile_name);
    SetGraphCursor(panelHandle, PANEL_GRAPH_DATA, 1, 1.0, 1.0);
    SetGraphCursor(panelHandle, PANEL_GRAPH_DATA, 2, 1.0, 1.0);
    CopyText(szSoftname, "E-VOK-VX12-Trace-Watch");
    CopyText(szSoftversion, "V" EVOK_VERSION);
    ShowLogo(kBrandVariant);
    ShowStatus(szStatus);
    SetCtrlAttribute(panelHandle, PANEL_NUM_POWERA, kAttrVisible, 1);
    GetPanelValues();
    FillarrayRAW(0, 0);
    FillarrayNORM(tol10Bit, ref10Bit, 0);
    for (int i = 0; i < kDataLen; ++i) {
        xArray[i] = static_cast<unsigned short>(i);
        yArrayA[i] = 0;
    }
}

int StartUp() {
    if (StartRuntime() == 0) return -1;
    StartTrace(); // from the first frame on
    SetCallbackTable(kCallbackTable, kCallbackCount);
    panelHandle = LoadPanel(0, kPanelFile, PANEL);
    if (panelHandle < 0) return -1;
    panelPopUp = LoadPanel(0, kPanelFile, POPUP);
    if (panelPopUp < 0) {
        DiscardPanel(panelHandle);
        panelHandle = -1;
        return -1;
    }
    // The panel description and bitmaps load from beside the program; the files the operator
    // writes go where the operator can write (an installed program's directory is not).
    char programDir[kPathMax];
    GetProjectDir(programDir, sizeof programDir);
    GetOperatorDir(programDir, proj_dir, sizeof proj_dir);
    InstallCompanions();
    InitVars();
    InitRS232(com);
    DisplayPanel(panelHandle);
    return 0;
}

void ShutDown() {
    StopRecording();
    CloseFrameMonitor();
    CloseLine();
    EndTrace();
    DiscardPanel(panelPopUp);
    DiscardPanel(panelHandle);
    panelPopUp = panelHandle = -1;
}

int WinMain() {
    if (StartUp() < 0) return -1;
    RunUserInterface();
    ShutDown();
    return 0;
}

int CC_PANEL(int, int event, void*, int, int) {
    if (event == kEvClose) {
        stop_flag = 1;
        CloseLine();
        QuitUserInterface(0);
    }
    return 0;
}

int CC_POPUP(int, int event, void*, int, int) {
    if (event == kEvClose) {
        HidePanel(panelPopUp);
        SetCtrlVal(panelHandle, PANEL_TOGBTNPARAII, 0);
    }
    return 0;
}

int CC_TOGBTNparaII(int, int, int event, void*, int, int) {
    if (event != kEvValueChanged) return 0;
    int on = 0;
    GetCtrlVal(panelHandle, PANEL_TOGBTNPARAII, &on);
    if (on) {
        DisplayPanel(panelPopUp);
    } else {
        HidePanel(panelPopUp);
    }
    return 0;
}

int CC_DropDCom(int, int, int event, void*, int, int) {
    if (event != kEvCommit && event != kEvValueChanged) return 0;
    CloseLine();
    GetCtrlVal(panelHandle, PANEL_DROPDCOM, &com);
    ShowStatus(kTextInitComPort);
    InitRS232(com);
    return 0;
}

} // namespace evok
