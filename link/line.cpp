// The line: the one place that writes to the controller, flushes the queues, reads replies
// directly and waits for them. It remembers whether a reply to the last request is still owed,
// so that the next request does not flush that reply half-way and take its rest as its own, and
// when the line will have carried what was written, so that no flush drops it.
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

// One byte on the wire: 10 bits at 19200 baud.
constexpr double kByteTime = 10 / 19200.0;
// The longest a reply may come later than its bytes' time on the wire allows: the controller's
// turnaround, and a USB adapter's hand-over, which waits up to its latency timer (1 to 255 ms).
constexpr double kReplyAllowance = 0.3;
// Output is flushed only this long after the line has carried it, by the estimate: a flush must
// never drop a written byte that the line has not carried yet (a UART's output queue).
constexpr double kCarryMargin = 0.02;
constexpr double kSettlePoll = 0.0005;
// A direct read's wait polls the queue length; a short pause per pass keeps it from holding a
// core for the whole time limit.
constexpr double kPollPause = 0.0005;

int owedBytes = 0;         // bytes of the reply that the last request still awaits, 0: none
int owedSeen = 0;          // ... of them, those that came and were read or flushed away
double owedBy = 0;         // when that reply is complete at the latest, if it comes at all
double carriedAt = 0;      // when the line has carried everything written so far
int requests = 0;          // requests awaiting a reply written so far
int answered = -1;         // the request that the frame taken last answers
int lastRequest = 0;       // the order of the last request that awaits a reply: names its reply
int stoppableRequest = -1; // the request a stoppable wait awaits now, -1: none runs

// Lets an owed reply finish arriving before a new request flushes the queues: a reply is known by
// its bytes, so the wait ends when all of them have come (those read or flushed away count) or
// when they can no longer come in time. A reply cut short, lost or later than kReplyAllowance is
// a fault of the line. No events are processed.
void Settle() {
    while (owedBytes > 0 && owedSeen + QueuedBytes() < owedBytes && Timer() < owedBy)
        Delay(kSettlePoll);
    owedBytes = owedSeen = 0;
}

// Bytes of the owed reply read or discarded: once all have come, none is owed any more.
void Seen(int bytes) {
    if (owedBytes == 0 || bytes <= 0) return;
    owedSeen += bytes;
    if (owedSeen >= owedBytes) owedBytes = owedSeen = 0;
}

// A write that awaits no reply leaves an earlier request's reply owed.
int Write(int orderCode) {
    nBytesW = ComWrt(com, szWriteBuf, kFrameBytes);
    // The line carries the bytes after what it still has to carry, one byte time each.
    if (nBytesW > 0) carriedAt = std::max(carriedAt, Timer()) + nBytesW * kByteTime;
    TraceFrame(kTraceSent, orderCode, szWriteBuf, nBytesW, kFrameBytes);
    const int replyBytes = ReplyBytes(orderCode);
    if (replyBytes == 0) return nBytesW;
    ++requests;
    lastRequest = orderCode;
    if (nBytesW == kFrameBytes) {
        owedBytes = replyBytes;
        owedSeen = 0;
        owedBy = carriedAt + replyBytes * kByteTime + kReplyAllowance;
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
    // An owed reply stays owed: an adapter may still hand it over when the same device is opened
    // again (the operator chose the same port), and the next request then lets it come first.
    carriedAt = 0;
}

void FlushLine() {
    // What the flush discards of an owed reply has come all the same.
    if (owedBytes > 0) Seen(QueuedBytes());
    FlushInQ(com);
    // Nothing written may be lost: while the line still carries written bytes, the output queue
    // holds nothing else to discard, and is left alone.
    if (Timer() >= carriedAt + kCarryMargin) FlushOutQ(com);
}

int ReadDirect(int count) {
    const int read = ComRd(com, szReadBuf, std::clamp(count, 0, kBufBytes));
    // Measured against the reply the last request awaits, so that a cut reply shows as short.
    const int awaited = ReplyBytes(lastRequest);
    TraceFrame(kTraceReceived, lastRequest, szReadBuf, read, awaited > 0 ? awaited : count);
    Seen(read); // a reply cut short stays owed for the rest of its bytes
    return read;
}

int QueuedBytes() {
    return GetInQLen(com);
}

void ReplyTaken() {
    owedBytes = owedSeen = 0;
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
