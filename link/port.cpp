// Port set-up, the echo check, the receive notification and the frame wait.
#include "app/shell.h"
#include "link/com232.h"
#include "params/binding.h"
#include "params/paramset.h"
#include "runtime/events.h"
#include "runtime/serial.h"
#include "runtime/timing.h"

namespace evok {

int rx_flag;
int graphrefresh;
unsigned short ttick;
int ret;
double tstart, tdiff;

namespace {

constexpr long kBaud = 19200;
constexpr int kQueueBytes = 4096;
constexpr double kLineTimeLimit = 2.0; // every read and write on the port
constexpr double kFrameWait = 1.5;     // reply frame through the notification
constexpr double kEchoPause = 0.05;    // between the echo request and its direct read
constexpr unsigned char kEchoOk[2] = {0x00, 0xAA};

const char* OpenErrorText(int code) {
    switch (code) {
    case -1:
        return "Unknown system error";
    case -2:
        return "Invalid port number";
    case -3:
        return "Port is not open";
    case -4:
        return "Unknown I/0 error";
    case -6:
        return "No serial port found";
    case -7:
        return "Cannot open port";
    case -13:
        return "Invalid parameter";
    case -99:
        return "Timeout";
    default:
        return "RS-232 error!";
    }
}

} // namespace

void ReceiveNotificationOn() {
    InstallComCallback(com, eventMask, kFrameBytes, sync, RX_Receive_Function, nullptr);
}

void ReceiveNotificationOff() {
    InstallComCallback(com, 0, kFrameBytes, sync, nullptr, nullptr);
}

void InitRS232(int port) {
    int result = OpenComConfig(port, "", kBaud, 0, 8, 1, kQueueBytes, kQueueBytes);
    if (result < 0) {
        CopyText(szStatus, OpenErrorText(result));
        ShowStatus(szStatus);
        return;
    }
    SetComTime(port, kLineTimeLimit);
    FlushInQ(port);
    FlushOutQ(port);
    SetCTSMode(port, 0);
    InstallComCallback(port, eventMask, kFrameBytes, sync, RX_Receive_Function, nullptr);

    if (CheckComLine(port) != 1) {
        ShowStatus(szStatus);
        return;
    }
    target = RAM;
    PushGET(RAM, 0);
    target = RAM;
    PushGET(RAM, 1);
    SetPanelValues();

    if (GetVERSIONInfo() < kVersionReplyBytes) CopyText(szStatus, "Error reading firmware-info!");
    ShowStatus(szStatus);
}

void RX_Receive_Function(int /*port*/, int events, void* /*data*/) {
    if ((events & kComEvRxCount) == 0) return;
    ComRd(com, szReadBuf, kFrameBytes);
    GetRxBuf(PNUM);
    ttick = 0;
    rx_flag = 1;
    graphrefresh = 1;
    FlushInQ(com);
}

int WaitRxFull() {
    ret = 1;
    tstart = Timer();
    do {
        ProcessSystemEvents();
        tdiff = Timer() - tstart;
        if (tdiff > kFrameWait) {
            CopyText(szStatus, "Timeout-RS-232...");
            ret = 0;
            break;
        }
    } while (rx_flag == 0);
    return ret;
}

int CheckComLine(int port) {
    CopyVarsToPP(0);
    FillTxBuf(5, pp);
    FlushInQ(port);
    FlushOutQ(port);
    nBytesW = ComWrt(port, szWriteBuf, kFrameBytes);
    Delay(kEchoPause);
    nBytesR = ComRd(port, szReadBuf, kFrameBytes);

    int result = 0;
    if (nBytesR != kFrameBytes) {
        CopyText(szStatus, "Timeout < 36 Bytes");
    } else if (szReadBuf[4] == kEchoOk[0] && szReadBuf[5] == kEchoOk[1]) {
        CopyText(szStatus, "Echo Check - Line Ok!");
        result = 1;
    } else {
        CopyText(szStatus, "read error - not sync byte 0xAA!");
    }
    ShowStatus(szStatus);
    return result;
}

} // namespace evok
