// The frame trace ring and its lines. Recording a frame costs a time stamp and a copy of its
// bytes; lines are formatted only when the monitor or the trace file asks for them.
#include "link/trace.h"

#include "link/com232.h"
#include "runtime/line_log.h"
#include "runtime/timing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace evok {

namespace {

struct TracedFrame {
    double time;
    int order;
    short count;
    short expected;
    unsigned char direction;
    unsigned char bytes[kBlockReplyBytes];
};

TracedFrame ring[kTraceFrames];
unsigned long long recorded = 0;
double epoch = 0;
bool logging = false; // a trace file is open

const char* Marks(const TracedFrame& f) {
    const bool isShort = f.count < f.expected;
    const bool unsync = f.expected == kFrameBytes && f.count >= 2 &&
                        (f.bytes[0] != (kSyncWord >> 8) || f.bytes[1] != (kSyncWord & 0xFF));
    if (isShort && unsync) return "short unsync";
    if (isShort) return "short";
    if (unsync) return "unsync";
    return "";
}

} // namespace

void StartTrace() {
    recorded = 0;
    epoch = Timer();
    EndTrace();
    logging = OpenLineLog("EVOK_TRACE") == 1;
}

void EndTrace() {
    if (logging) CloseLineLog();
    logging = false;
}

void TraceFrame(TraceDirection direction, int orderCode, const unsigned char* bytes, int count,
                int expected) {
    TracedFrame& f = ring[recorded % kTraceFrames];
    f.time = Timer();
    f.order = orderCode;
    f.count = static_cast<short>(std::clamp(count, 0, kBlockReplyBytes));
    f.expected = static_cast<short>(std::clamp(expected, 0, kBlockReplyBytes));
    f.direction = static_cast<unsigned char>(direction);
    std::memcpy(f.bytes, bytes, static_cast<std::size_t>(f.count));
    ++recorded;
    if (logging) {
        char line[kTraceLineMax];
        if (TraceLine(recorded - 1, line, sizeof line) >= 0) WriteLineLog(line);
    }
}

unsigned long long TraceCount() {
    return recorded;
}

int TraceLine(unsigned long long n, char* text, int size) {
    if (n >= recorded || recorded - n > kTraceFrames || size < kTraceLineMax) return -1;
    const TracedFrame& f = ring[n % kTraceFrames];
    int length =
        std::snprintf(text, static_cast<std::size_t>(size), "%10.1f ms  %s  %-12s %3d  %-12s",
                      (f.time - epoch) * 1000.0, f.direction == kTraceSent ? "TX" : "RX",
                      OrderName(f.order), f.count, Marks(f));
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < f.count; ++i) {
        text[length++] = ' ';
        text[length++] = kHex[f.bytes[i] >> 4];
        text[length++] = kHex[f.bytes[i] & 0xF];
    }
    text[length] = '\0';
    return length;
}

} // namespace evok
