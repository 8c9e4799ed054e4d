// How the line between the program and the controller hands bytes over. A pseudo-terminal
// carries every byte at once; an operator's line does not: a UART takes written bytes off at
// 1920 bytes a second, and USB serial adapters hand received bytes to the computer in bursts.
// Tests, the soak and the benchmarks choose one of these models for the simulated line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sim {

enum class LineKind {
    // Bytes cross at once in both directions (replies paced only when pacing is on).
    Pty,
    // The controller takes the program's bytes at the line's pace, so bytes not yet carried
    // stay in the program's output queue, where an output flush discards them.
    Uart,
    // The adapter holds received bytes until its latency timer runs out or a packet is full.
    LatencyTimer,
    // The adapter hands over what it holds once every USB frame.
    SmallPacket,
};

struct LineModel {
    LineKind kind = LineKind::Pty;
    // LatencyTimer: the adapter's latency timer (1..255 ms); it restarts with every hand-over.
    double timerMs = 16;
    // LatencyTimer: a full packet of this many bytes is handed over at once.
    std::size_t packetBytes = 62;
    // SmallPacket: the hand-over interval (one USB frame).
    double packetMs = 1;

    // "pty", "uart", "latency 16 ms", "packet 1 ms".
    std::string name() const;
    // Every model but Pty paces the reply bytes at the line's baud rate, whatever the pacing
    // option says: a real line cannot deliver faster.
    bool pacesReplies() const { return kind != LineKind::Pty; }
    bool operator==(const LineModel&) const = default;
};

// Reads "pty", "uart", "latency" (16 ms), "latency:MS" (1..255) or "packet". Returns false and
// sets *error (when given) on any other text, leaving *model as it was.
bool ParseLineModel(const std::string& text, LineModel* model, std::string* error);

// The models the tests, the soak and the benchmarks run under, one row each: pty, uart,
// latency 16 ms, latency 32 ms, packet 1 ms.
std::vector<LineModel> LineModelsUnderTest();

} // namespace sim
