#include "params/pages.h"

#include "ground/state.h"
#include "link/com232.h"
#include "link/line.h"
#include "params/binding.h"
#include "params/paramset.h"
#include "runtime/events.h"
#include "runtime/panel.h"
#include "runtime/timing.h"

namespace evok {

namespace {

constexpr double kCommandWait = 1.5; // teach and reset reply

} // namespace

int RunCommand(int orderCode) {
    const bool teach = orderCode == kOrderTeach;
    const double waitLimit = orderCode == kOrderRefresh ? TIMEOUT : kCommandWait;
    order = orderCode;
    GetPanelValues();
    CopyVarsToPP(kPage0);
    SendFrame(order, pp);
    if (nBytesW == kFrameBytes) ShowStatus("Line Ok!");
    if (teach) ShowStatus("New setpoint value teached!");

    int readBack = 0;
    tstart = Timer();
    do {
        if (rx_flag == 1) {
            PushGET(RAM, kPage0);
            readBack = rx_flag;
            break;
        }
        tdiff = Timer() - tstart;
        ProcessSystemEvents();
    } while (tdiff < waitLimit);
    // tdiff is shared with the read-back's own wait: a read-back that timed out shows here too.
    if (tdiff > waitLimit) ShowStatus("Timeout RS-232!!");
    return readBack;
}

void InitRS232(int port) {
    if (OpenLine(port) < 0) return;
    CopyVarsToPP(kPage0);
    if (CheckComLine(port) != 1) {
        ShowStatus(szStatus);
        return;
    }
    target = RAM;
    PushGET(RAM, kPage0);
    target = RAM;
    PushGET(RAM, kPage1);
    SetPanelValues();

    if (GetVERSIONInfo() < kVersionReplyBytes) CopyText(szStatus, "Error reading firmware-info!");
    ShowStatus(szStatus);
}

void PushGET(int target, unsigned short page) {
    if (target == DATFILE) return;
    order = target == EEPROM ? kOrderReadEeprom : kOrderReadRam;
    CopyVarsToPP(page);
    SendFrame(order, pp);
    const int request = LastRequest();
    if (nBytesW == kFrameBytes) ShowStatus("Waiting for parameter-frame ...");

    WaitRxFull();
    // A Get or a command clicked during this wait has taken the line: the frame then in the
    // buffer answers its request, not this one, and is no parameter page of ours.
    if (rx_flag == 1 && AnswersRequest(request)) {
        GetRxBuf(PNUM);
        CopyPPtoVars(page);
        ShowStatus("Parameter-frame received! - Line Ok!");
    }
}

int CC_ButtonTeach(int, int, int event, void*, int, int) {
    if (event == kEvLeftClick) ShowStatus("Teach new Reference-Value ...");
    if (event == kEvCommit) RunCommand(kOrderTeach);
    return 0;
}

int CC_ButtonReset(int, int, int event, void*, int, int) {
    if (event == kEvCommit) RunCommand(kOrderReset);
    return 0;
}

int CC_ButtonRefresh(int, int, int event, void*, int, int) {
    if (event == kEvCommit) RunCommand(kOrderRefresh);
    return 0;
}

} // namespace evok
