// The frame trace: every frame written to the controller and every reply read from it, kept from
// start-up in a ring of the newest kTraceFrames (a copy of the bytes and a time stamp each), for
// the frame monitor and, when the environment names one, a trace file written line by line.
#pragma once

namespace evok {

constexpr int kTraceFrames = 10000;
constexpr int kTraceLineMax =
    512; // the longest line (a 128-byte block in hex), terminator included

enum TraceDirection : int { kTraceSent, kTraceReceived };

// Starts the trace: times count from now, the ring is emptied, and the trace file named by
// EVOK_TRACE (if any) is started.
void StartTrace();
// Ends the trace file.
void EndTrace();

// Records one frame: `count` bytes that went out or came in (a negative count: none) where
// `expected` were meant; `order` names the request (sent) or the request answered (received).
void TraceFrame(TraceDirection direction, int order, const unsigned char* bytes, int count,
                int expected);

// Frames recorded since StartTrace; frame n (0-based) is held while n >= TraceCount() -
// kTraceFrames.
unsigned long long TraceCount();

// Frame n as one line of text without line end: time since StartTrace in ms, direction, the
// order's name, the byte count, marks (short, unsync) and the bytes in hex. Returns the length,
// or -1 when frame n is not held (any more, or yet).
int TraceLine(unsigned long long n, char* text, int size);

} // namespace evok
