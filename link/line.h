// The line: every write to the controller and every queue flush goes through these calls, so
// that a request is matched to its reply by timing in one place.
#pragma once

namespace evok {

// A request that awaits a reply: lets a reply to an earlier request that is already on its way
// finish arriving (its bytes complete, or the line quiet for 10 ms after the last byte; at most
// 100 ms) and what was written before it leave the port, flushes both queues, clears rx_flag,
// encodes order and words and writes the 36 bytes. nBytesW takes the write's result, which is
// returned.
int SendFrame(int order, const unsigned short* words);

// A request whose frame is already in szWriteBuf (the data-block and flash requests); as
// SendFrame, or without settling and flushing when flush is false.
int SendEncoded(int order, bool flush);

// A write that awaits no reply (the parameter pages): encodes and writes, no flush.
int WriteFrame(int order, const unsigned short* words);

// Closes the port com (a port that is not open: harmless); no reply is owed afterwards.
void CloseLine();

// Discards every byte received and not yet sent.
void FlushLine();

// Reads count bytes directly into szReadBuf (at most its size), waiting up to the port's time
// limit; the reply awaited is then taken. Returns the count read.
int ReadDirect(int count);

// The input queue length, after moving what the device holds into it.
int QueuedBytes();

// Called by the receive notification when it has taken a frame: the frame answers the request
// written last.
void ReplyTaken();

// The number of the request written last (every request awaiting a reply gets the next number).
int LastRequest();

// Whether the frame the notification took last answers request `request`: a transaction started
// while another one waited (from inside its event processing) sends a request of its own, and
// the reply it takes must not end the first transaction's wait as if it were its own.
bool AnswersRequest(int request);

} // namespace evok
