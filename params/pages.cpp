#include "params/pages.h"

#include "ground/state.h"
#include "link/com232.h"
#include "link/line.h"
#include "params/binding.h"
#include "params/paramset.h"
#include "runtime/panel.h"

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
    if (nBytesW == kFrameBytes) ShowStatus(kTextLineOk);
    if (teach) ShowStatus(kTextTeached);

    int readBack = 0;
    // Only the reply's arrival counts. A transaction clicked during the wait (a Get, another
    // command) flushes this reply away once it has come and takes the line: the controller has
    // the command all the same, and page 0 is read back as after the command's own reply.
    if (WaitReply(waitLimit) != kWaitTimedOut) {
        PushGET(RAM, kPage0);
        readBack = rx_flag;
    }
    // tdiff is shared with the read-back's own wait: a read-back that timed out shows here too.
    if (tdiff > waitLimit) ShowStatus(kTextCommandTimeout);
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

    if (GetVERSIONInfo() < kVersionReplyBytes) CopyText(szStatus, kTextFirmwareError);
    ShowStatus(szStatus);
}

void PushGET(int target, unsigned short page) {
    if (target == DATFILE) return;
    order = target == EEPROM ? kOrderReadEeprom : kOrderReadRam;
    CopyVarsToPP(page);
    SendFrame(order, pp);
    if (nBytesW == kFrameBytes) ShowStatus(kTextWaitingPara);

    // A frame taken by a Get or a command clicked during the wait answers their request: it is
    // no parameter page of ours.
    if (WaitRxFull() != kWaitReplied) return;
    GetRxBuf(PNUM);
    CopyPPtoVars(page);
    ShowStatus(kTextParaReceived);
}

int CC_ButtonTeach(int, int, int event, void*, int, int) {
    if (event == kEvLeftClick) ShowStatus(kTextTeachClicked);
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
