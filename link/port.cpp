// Port set-up, the echo check, the receive notification and the frame wait.
#include "ground/state.h"
#include "link/com232.h"
#include "link/line.h"
#include "runtime/serial.h"
#include "runtime/timing.h"

namespace evok {

int rx_flag;
int graphrefresh;
unsigned short ttick;

namespace {

constexpr long kBaud = 19200;
constexpr int kQueueBytes = 4096;
constexpr double kLineTimeLimit = 2.0; // every read and write on the port
constexpr double kFrameWait = 1.5;     // reply frame through the notification
constexpr double kEchoPause = 0.05;    // between the echo request and its direct read

} // namespace

void ReceiveNotificationOn() {
    InstallComCallback(com, eventMask, kFrameBytes, sync, RX_Receive_Function, nullptr);
}

void ReceiveNotificationOff() {
    InstallComCallback(com, 0, kFrameBytes, sync, nullptr, nullptr);
}

int OpenLine(int port) {
    const int result = OpenComConfig(port, "", kBaud, 0, 8, 1, kQueueBytes, kQueueBytes);
    if (result < 0) {
        CopyText(szStatus, ComErrorText(result));
        ShowStatus(szStatus);
        return result;
    }
    SetComTime(port, kLineTimeLimit);
    FlushInQ(port);
    FlushOutQ(port);
    SetCTSMode(port, 0);
    InstallComCallback(port, eventMask, kFrameBytes, sync, RX_Receive_Function, nullptr);
    return 0;
}

void RX_Receive_Function(int /*port*/, int events, void* /*data*/) {
    if ((events & kComEvRxCount) == 0) return;
    ReadDirect(kFrameBytes);
    ReplyTaken();
    GetRxBuf(PNUM);
    ttick = 0;
    rx_flag = 1;
    graphrefresh = 1;
    FlushInQ(com);
}

WaitOutcome WaitRxFull() {
    const WaitOutcome outcome = WaitReply(kFrameWait);
    if (outcome == kWaitTimedOut) CopyText(szStatus, kTextFrameTimeout);
    return outcome;
}

int CheckComLine(int /*port*/) {
    SendFrame(kOrderEcho, pp);
    Delay(kEchoPause);
    nBytesR = ReadDirect(kFrameBytes);

    int result = 0;
    if (nBytesR != kFrameBytes) {
        CopyText(szStatus, kTextEchoShort);
    } else if (RxDataWord(0) == kAckWord) {
        CopyText(szStatus, kTextEchoOk);
        result = 1;
    } else {
        CopyText(szStatus, kTextEchoWrong);
    }
    ShowStatus(szStatus);
    return result;
}

} // namespace evok
