// The line: the one place that writes to the controller, flushes the queues and reads replies
// directly. It also remembers whether a reply to the last request is still owed, so that the next
// request does not flush that reply half-way and take its rest as its own.
#include "link/line.h"

#include "ground/state.h"
#include "link/com232.h"
#include "link/trace.h"
#include "runtime/events.h"
#include "runtime/serial.h"
#include "runtime/timing.h"

#include <algorithm>

namespace evok {

int ret;
double tstart, tdiff;

namespace {

constexpr double kQuietGap = 0.010;    // the line is quiet this long after a reply's last byte
constexpr double kSettleLimit = 0.100; // the longest a request waits for an earlier reply
constexpr double kSettlePoll = 0.0005;
// A frame's time on the wire: 36 bytes of 10 bits at 19200 baud.
constexpr double kFrameWireTime = kFrameBytes * 10 / 19200.0;

int owedBytes = 0;         // bytes of the reply that the last request still awaits, 0: none
double requestTime = 0;    // when that request was written
double sentAt = 0;         // when everything written so far has left the port
int requests = 0;          // requests awaiting a reply written so far
int answered = -1;         // the request that the frame taken last answers
int lastRequest = 0;       // the order of the last request that awaits a reply: names its reply
int stoppableRequest = -1; // the request a stoppable wait awaits now, -1: none runs

// A direct read's wait polls the queue length; a short pause per pass keeps it from holding a
// core for the whole time limit.
constexpr double kPollPause = 0.0005;

// Lets an owed reply finish arriving: complete, quiet for kQuietGap after its last byte, or, when
// none of it came, kSettleLimit after its request; never longer than kSettleLimit from now. A
// reply that comes later than that is a fault of the line.
void Settle() {
    if (owedBytes == 0) return;
    const double start = Timer();
    int seen = QueuedBytes();
    double lastByte = seen > 0 ? start : requestTime;
    for (;;) {
        const int queued = QueuedBytes();
        const double now = Timer();
        if (queued != seen) {
            seen = queued;
            lastByte = now;
        }
        if (queued >= owedBytes) break;
        if (queued > 0 && now - lastByte >= kQuietGap) break;
        if (queued == 0 && now - requestTime >= kSettleLimit) break;
        if (now - start >= kSettleLimit) break;
        Delay(kSettlePoll);
    }
    owedBytes = 0;
}

// What was written must leave the port before the output queue is flushed: a parameter page
// written just before a request would otherwise be cut off.
void Drain() {
    const double left = sentAt - Timer();
    if (left > 0) Delay(left);
}

// A write that awaits no reply leaves an earlier request's reply owed.
int Write(int orderCode) {
    nBytesW = ComWrt(com, szWriteBuf, kFrameBytes);
    if (nBytesW > 0) sentAt = std::max(sentAt, Timer()) + nBytesW * kFrameWireTime / kFrameBytes;
    if (ReplyBytes(orderCode) > 0) ++requests;
    TraceFrame(kTraceSent, orderCode, szWriteBuf, nBytesW, kFrameBytes);
    if (ReplyBytes(orderCode) > 0) lastRequest = orderCode;
    if (nBytesW == kFrameBytes && ReplyBytes(orderCode) > 0) {
        owedBytes = ReplyBytes(orderCode);
        requestTime = Timer();
    }
    return nBytesW;
}

} // namespace

int SendFrame(int orderCode, const unsigned short* words) {
    FillTxBuf(orderCode, words);
    return SendEncoded(orderCode, true);
}

int SendEncoded(int orderCode, bool flush) {
    if (flush) {
        Settle();
        Drain();
        FlushLine();
        rx_flag = 0;
    }
    return Write(orderCode);
}

int WriteFrame(int orderCode, const unsigned short* words) {
    FillTxBuf(orderCode, words);
    return Write(orderCode);
}

void CloseLine() {
    CloseCom(com);
    owedBytes = 0;
}

void FlushLine() {
    FlushInQ(com);
    FlushOutQ(com);
}

int ReadDirect(int count) {
    const int read = ComRd(com, szReadBuf, std::clamp(count, 0, kBufBytes));
    // Measured against the reply the last request awaits, so that a cut reply shows as short.
    const int awaited = ReplyBytes(lastRequest);
    TraceFrame(kTraceReceived, lastRequest, szReadBuf, read, awaited > 0 ? awaited : count);
    owedBytes = 0;
    if (read > 0) sentAt = 0; // a reply came: the request before it has left
    return read;
}

int QueuedBytes() {
    return GetInQLen(com);
}

void ReplyTaken() {
    owedBytes = 0;
    sentAt = 0; // answered: what was written before has reached the controller
    answered = requests;
}

WaitOutcome WaitReply(double limit, int queued, bool (*stopped)()) {
    const int request = requests;
    const int outerStoppable = stoppableRequest;
    if (stopped) stoppableRequest = request;
    tstart = Timer();
    WaitOutcome outcome;
    for (;;) {
        if (stopped && stopped()) {
            outcome = kWaitStopped;
            break;
        }
        if (queued > 0 ? QueuedBytes() >= queued : rx_flag == 1) {
            outcome = queued > 0 || answered == request ? kWaitReplied : kWaitTakenByOther;
            break;
        }
        tdiff = Timer() - tstart;
        if (tdiff > limit) {
            outcome = kWaitTimedOut;
            break;
        }
        if (queued > 0) {
            Delay(kPollPause);
        } else {
            SetWaitLimit(tstart + limit);
            ProcessSystemEvents();
        }
    }
    if (queued == 0) {
        SetWaitLimit(0);
        ret = outcome == kWaitTimedOut ? 0 : 1;
    }
    stoppableRequest = outerStoppable;
    return outcome;
}

bool AwaitedReplyComplete() {
    if (stoppableRequest < 0) return false;
    if (rx_flag == 0 && QueuedBytes() >= kFrameBytes)
        RX_Receive_Function(com, kComEvRxCount, nullptr);
    return rx_flag == 1 && answered == stoppableRequest;
}

} // namespace evok
