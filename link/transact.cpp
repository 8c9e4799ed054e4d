// Request/reply transactions: parameter page read, firmware text, data blocks, the teach, reset
// and refresh commands and the flash information block.
#include "app/shell.h"
#include "link/com232.h"
#include "params/binding.h"
#include "params/paramset.h"
#include "runtime/events.h"
#include "runtime/files.h"
#include "runtime/panel.h"
#include "runtime/serial.h"
#include "runtime/timing.h"
#include "views/datablock.h"

#include <algorithm>

namespace evok {

char szVersion[64];

namespace {

constexpr double kVersionWait = 2.0; // firmware text reply
constexpr double kBlockWait = 1.5;   // data block reply
constexpr double kCommandWait = 1.5; // teach and reset reply
constexpr double kFlashPause = 0.05; // between the flash request and its direct read
constexpr int kVersionWords = 32;
constexpr int kBlockWords = 64;

// The replies without header are polled on the queue length without processing events; a short
// pause per pass keeps the poll from holding a core for the whole time limit.
constexpr double kPollPause = 0.0005;

// Polls the input queue length, without processing events, until it holds `wanted` bytes or
// more than `limit` seconds have passed (tstart, tdiff). Returns the last length; *timedOut tells
// which ended the poll.
int PollInQ(int wanted, double limit, bool* timedOut) {
    tstart = Timer();
    for (;;) {
        const int count = GetInQLen(com);
        tdiff = Timer() - tstart;
        *timedOut = tdiff > limit;
        if (*timedOut || count >= wanted) return count;
        Delay(kPollPause);
    }
}

// Reads what the queue holds, but never more than the receive buffer takes.
int ReadQueued(int count) {
    return ComRd(com, szReadBuf, std::clamp(count, 0, kBufBytes));
}

unsigned short ReplyWord(int i) {
    return static_cast<unsigned short>(szReadBuf[2 * i] * 256 + szReadBuf[2 * i + 1]);
}

// Teach, reset and refresh: send the command with the panels' page-0 words, wait for its reply
// and read page 0 back from RAM.
void RunCommand(int orderCode, bool teach, double waitLimit) {
    FlushInQ(com);
    FlushOutQ(com);
    order = orderCode;
    GetPanelValues();
    CopyVarsToPP(0);
    FillTxBuf(order, pp);
    rx_flag = 0;
    nBytesW = ComWrt(com, szWriteBuf, kFrameBytes);
    if (nBytesW == kFrameBytes) ShowStatus("Line Ok!");
    if (teach) ShowStatus("New setpoint value teached!");

    tstart = Timer();
    do {
        if (rx_flag == 1) {
            PushGET(RAM, 0);
            break;
        }
        tdiff = Timer() - tstart;
        ProcessSystemEvents();
    } while (tdiff < waitLimit);
    // tdiff is shared with the read-back's own wait: a read-back that timed out shows here too.
    if (tdiff > waitLimit) ShowStatus("Timeout RS-232!!");
}

} // namespace

void PushGET(int target, unsigned short page) {
    if (target == DATFILE) return;
    order = target == EEPROM ? 4 : 2;
    CopyVarsToPP(page);
    FlushInQ(com);
    FlushOutQ(com);
    FillTxBuf(order, pp);
    rx_flag = 0;
    nBytesW = ComWrt(com, szWriteBuf, kFrameBytes);
    if (nBytesW == kFrameBytes) ShowStatus("Waiting for parameter-frame ...");

    WaitRxFull();
    if (rx_flag == 1) {
        GetRxBuf(PNUM);
        CopyPPtoVars(page);
        ShowStatus("Parameter-frame received! - Line Ok!");
    }
}

int GetVERSIONInfo() {
    ReceiveNotificationOff();
    FlushInQ(com);
    FlushOutQ(com);
    order = 7;
    FillTxBuf(7, pp);
    nBytesW = ComWrt(com, szWriteBuf, kFrameBytes);
    ShowStatus("Waiting for firmware info ...");

    bool timedOut = false;
    const int count = PollInQ(kVersionReplyBytes, kVersionWait, &timedOut);
    if (timedOut) CopyText(szStatus, "Timeout - reading firmware info!");

    int words[kVersionWords] = {};
    szVersion[0] = '\0';
    nBytesR = ReadQueued(count);
    if (nBytesR == kVersionReplyBytes) {
        for (int i = 0; i < kVersionWords; ++i)
            words[i] = ReplyWord(i);
        Fmt(szVersion, sizeof szVersion, "%64c<%32i", words);
        CopyText(szStatus, szVersion);
    }

    ReceiveNotificationOn();
    FlushInQ(com);
    FlushOutQ(com);
    rx_flag = 0;
    ShowStatus(szStatus);
    return count;
}

int ReadData64(int offset, int source, int orderCode) {
    FillTxBufDirect(orderCode, static_cast<unsigned short>(offset),
                    static_cast<unsigned short>(source));
    FlushInQ(com);
    FlushOutQ(com);
    rx_flag = 0;
    nBytesW = ComWrt(com, szWriteBuf, kFrameBytes);
    ShowStatus("Waiting for Data[64] ...");

    bool timedOut = false;
    const int count = PollInQ(kBlockReplyBytes, kBlockWait, &timedOut);
    if (timedOut) {
        CopyText(szStatus, "Timeout-RS-232 while reading 64 data-words!");
        // The first 128 words, whatever block was asked for.
        std::fill(yArrayA, yArrayA + 2 * kBlockWords, 0);
        ttick = 0;
    }

    int result = 0;
    nBytesR = ReadQueued(count);
    if (nBytesR != kBlockReplyBytes && !timedOut) {
        // A reply of another length is no block and is not taken; the status must not go on
        // showing an earlier block's success.
        CopyText(szStatus, "Timeout-RS-232 while reading 64 data-words!");
    }
    if (nBytesR == kBlockReplyBytes) {
        CopyText(szStatus, "Data[64] block received!");
        result = kBlockWords;
        if (offset == 0 || offset == 64 || offset == 128 || offset == 192) {
            for (int i = 0; i < kBlockWords; ++i)
                yArrayA[offset + i] = ReplyWord(i);
        }
    }
    ShowStatus(szStatus);
    return result;
}

int CC_ButtonTeach(int, int, int event, void*, int, int) {
    if (event == kEvLeftClick) ShowStatus("Teach new Reference-Value ...");
    if (event == kEvCommit) RunCommand(6, true, kCommandWait);
    return 0;
}

int CC_ButtonReset(int, int, int event, void*, int, int) {
    if (event == kEvCommit) RunCommand(10, false, kCommandWait);
    return 0;
}

int CC_ButtonRefresh(int, int, int event, void*, int, int) {
    if (event == kEvCommit) RunCommand(11, false, TIMEOUT);
    return 0;
}

int SendInfoBlockToFlash(int first, int second) {
    order = 20;
    FillTxBufDirect(20, static_cast<unsigned short>(second), static_cast<unsigned short>(first));
    nBytesW = ComWrt(com, szWriteBuf, kFrameBytes);
    Delay(kFlashPause);
    nBytesR = ComRd(com, szReadBuf, kFrameBytes);
    if (nBytesR != kFrameBytes) {
        CopyText(szStatus, "Timeout: SendInfoBlockToFlash < 36 Bytes");
        return -1;
    }
    if (szReadBuf[4] == 0x00 && szReadBuf[5] == 0xAA) {
        CopyText(szStatus, "ok:  SendInfoBlockToFlash!");
        return 1;
    }
    CopyText(szStatus, "error : unknown F801 echo at order-20!");
    return -2;
}

} // namespace evok
