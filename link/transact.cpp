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
    ShowStatus(kTextWaitingFirmware);

    // The reply without header is read directly, when the queue holds it; no events meanwhile.
    if (WaitReply(kVersionWait, kVersionReplyBytes) == kWaitTimedOut)
        CopyText(szStatus, kTextFirmwareTimeout);
    const int count = QueuedBytes();

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
        CopyText(szStatus, kTextFirmwareTimeout);
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
    ShowStatus(kTextWaitingBlock);

    if (WaitReply(kBlockWait, kBlockReplyBytes) == kWaitTimedOut) {
        // The first 128 words, whatever block was asked for.
        std::fill(yArrayA, yArrayA + 2 * kBlockWords, 0);
        ttick = 0;
    }
    const int count = QueuedBytes();

    int result = 0;
    nBytesR = ReadDirect(count);
    if (nBytesR == kBlockReplyBytes) {
        CopyText(szStatus, kTextBlockReceived);
        result = kBlockWords;
        if (IsBlockOffset(offset)) {
            for (int i = 0; i < kBlockWords; ++i)
                yArrayA[offset + i] = ReplyWord(i);
        }
    } else {
        // A reply of another length is no block and is not taken; the status must not go on
        // showing an earlier block's success.
        CopyText(szStatus, kTextBlockTimeout);
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
        CopyText(szStatus, kTextFlashShort);
        return -1;
    }
    if (RxDataWord(0) == kAckWord) {
        CopyText(szStatus, kTextFlashOk);
        return 1;
    }
    CopyText(szStatus, kTextFlashWrong);
    return -2;
}

} // namespace evok
