// Transactions that read their replies directly: the firmware text, data blocks and the flash
// information block.
#include "ground/state.h"
#include "link/com232.h"
#include "link/line.h"
#include "runtime/files.h"
#include "runtime/timing.h"

#include <algorithm>
#include <iterator>

namespace evok {

char szVersion[64];
unsigned short yArrayA[kDataLen];

namespace {

constexpr double kVersionWait = 2.0; // firmware text reply
constexpr double kBlockWait = 1.5;   // data block reply
constexpr double kFlashPause = 0.05; // between the flash request and its direct read
constexpr int kVersionWords = 32;

// The replies without header are polled on the queue length without processing events; a short
// pause per pass keeps the poll from holding a core for the whole time limit.
constexpr double kPollPause = 0.0005;

// Polls the input queue length, without processing events, until it holds `wanted` bytes or
// more than `limit` seconds have passed (tstart, tdiff). Returns the last length; *timedOut tells
// which ended the poll.
int PollInQ(int wanted, double limit, bool* timedOut) {
    tstart = Timer();
    for (;;) {
        const int count = QueuedBytes();
        tdiff = Timer() - tstart;
        *timedOut = tdiff > limit;
        if (*timedOut || count >= wanted) return count;
        Delay(kPollPause);
    }
}

bool IsBlockOffset(int offset) {
    return std::find(std::begin(kBlockOffsets), std::end(kBlockOffsets), offset) !=
           std::end(kBlockOffsets);
}

// Request frame of a direct transaction: data words 0 and 1 given, the rest zero; pp is left
// alone.
void FillDirectRequest(int orderCode, unsigned short word0, unsigned short word1) {
    const unsigned short words[PNUM] = {word0, word1};
    FillTxBuf(orderCode, words);
}

} // namespace

int GetVERSIONInfo() {
    ReceiveNotificationOff();
    order = kOrderFirmware;
    SendFrame(kOrderFirmware, pp);
    ShowStatus("Waiting for firmware info ...");

    bool timedOut = false;
    const int count = PollInQ(kVersionReplyBytes, kVersionWait, &timedOut);
    if (timedOut) CopyText(szStatus, "Timeout - reading firmware info!");

    int words[kVersionWords] = {};
    szVersion[0] = '\0';
    nBytesR = ReadDirect(count);
    if (nBytesR == kVersionReplyBytes) {
        for (int i = 0; i < kVersionWords; ++i)
            words[i] = ReplyWord(i);
        Fmt(szVersion, sizeof szVersion, "%64c<%32i", words);
        CopyText(szStatus, szVersion);
    } else {
        // A reply of another length is no firmware text: the status must not go on showing an
        // earlier step's text as if the read had succeeded.
        CopyText(szStatus, "Timeout - reading firmware info!");
    }

    ReceiveNotificationOn();
    FlushLine();
    rx_flag = 0;
    ShowStatus(szStatus);
    return count;
}

int ReadData64(int offset, int source, int orderCode) {
    FillDirectRequest(orderCode, static_cast<unsigned short>(offset),
                      static_cast<unsigned short>(source));
    SendEncoded(orderCode, true);
    ShowStatus("Waiting for Data[64] ...");

    bool timedOut = false;
    const int count = PollInQ(kBlockReplyBytes, kBlockWait, &timedOut);
    if (timedOut) {
        // The first 128 words, whatever block was asked for.
        std::fill(yArrayA, yArrayA + 2 * kBlockWords, 0);
        ttick = 0;
    }

    int result = 0;
    nBytesR = ReadDirect(count);
    if (nBytesR == kBlockReplyBytes) {
        CopyText(szStatus, "Data[64] block received!");
        result = kBlockWords;
        if (IsBlockOffset(offset)) {
            for (int i = 0; i < kBlockWords; ++i)
                yArrayA[offset + i] = ReplyWord(i);
        }
    } else {
        // A reply of another length is no block and is not taken; the status must not go on
        // showing an earlier block's success.
        CopyText(szStatus, "Timeout-RS-232 while reading 64 data-words!");
    }
    ShowStatus(szStatus);
    return result;
}

int SendInfoBlockToFlash(int first, int second) {
    order = kOrderFlashInfo;
    FillDirectRequest(kOrderFlashInfo, static_cast<unsigned short>(second),
                      static_cast<unsigned short>(first));
    SendEncoded(kOrderFlashInfo, false);
    Delay(kFlashPause);
    nBytesR = ReadDirect(kFrameBytes);
    if (nBytesR != kFrameBytes) {
        CopyText(szStatus, "Timeout: SendInfoBlockToFlash < 36 Bytes");
        return -1;
    }
    if (RxDataWord(0) == kAckWord) {
        CopyText(szStatus, "ok:  SendInfoBlockToFlash!");
        return 1;
    }
    CopyText(szStatus, "error : unknown F801 echo at order-20!");
    return -2;
}

} // namespace evok
