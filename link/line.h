// The line: every write to the controller, every queue flush and every wait for a reply goes
// through these calls, so that a request is matched to its reply by timing in one place.
#pragma once

namespace evok {

// ---- Writing and flushing ---------------------------------------------------------------------

// A request that awaits a reply: lets a reply to an earlier request that is still owed finish
// arriving (until all its bytes have come, or they no longer can: 0.3 s after their time on the
// wire), flushes both queues (FlushLine), clears rx_flag, encodes order and words and writes the
// 36 bytes. No events are processed. nBytesW takes the write's result, which is returned.
int SendFrame(int order, const unsigned short* words);

// A request whose frame is already in szWriteBuf (the data-block and flash requests); as
// SendFrame, or without settling and flushing when flush is false.
int SendEncoded(int order, bool flush);

// A write that awaits no reply (the parameter pages): encodes and writes, no flush.
int WriteFrame(int order, const unsigned short* words);

// Closes the port com (a port that is not open: harmless). A reply still owed stays owed.
void CloseLine();

// Discards every byte received so far, and output not yet sent unless the line may still be
// carrying written bytes (a flush never drops a byte written and not yet carried). Bytes of an
// owed reply that it discards count as come.
void FlushLine();

// Reads count bytes directly into szReadBuf (at most its size), waiting up to the port's time
// limit; they count toward the reply awaited. Returns the count read.
int ReadDirect(int count);

// The input queue length, after moving what the device holds into it.
int QueuedBytes();

// Called by the receive notification when it has taken a frame: the frame answers the request
// written last.
void ReplyTaken();

// ---- The one wait -----------------------------------------------------------------------------

// How a wait for a reply ended. The values of the first two are the frame wait's result (ret).
enum WaitOutcome : int {
    kWaitTimedOut = 0,     // the limit passed first
    kWaitReplied = 1,      // the reply to the request written before the wait came
    kWaitTakenByOther = 2, // a frame came, but it answers a request made during the wait
    kWaitStopped = 3,      // the caller's stop condition was raised
};

// Waits for the reply to the request written last, at most `limit` seconds from now: tstart takes
// the start, tdiff the seconds elapsed at the last look. Every transaction waits here.
// - queued 0: the reply is a frame that the receive notification takes. Events are processed
//   while it waits (the pump is told the limit, so that it wakes for nothing else), and ret takes
//   1, or 0 when the limit passed. A frame that answers a request made meanwhile (a transaction
//   started from inside the event processing, which flushed this request's reply away) ends the
//   wait as kWaitTakenByOther: it is not this request's reply.
// - queued above 0: a direct read; the caller reads the reply itself once the input queue holds
//   that many bytes. No events are processed.
// stopped, when given, is asked first in every pass; true ends the wait as kWaitStopped.
WaitOutcome WaitReply(double limit, int queued = 0, bool (*stopped)() = nullptr);

// For Stop while a stoppable wait (the live loop's) runs: whether the reply that wait awaits has
// completed: taken by the receive notification and not yet used, or whole in the input queue (the
// notification then takes it now, into pp).
bool AwaitedReplyComplete();

} // namespace evok
