// The controller's side of a UART line: it takes the program's bytes off the line one byte time
// apart, so bytes written but not yet carried still sit in the program's output queue, where the
// program's output flush discards them. Pure timing, no I/O: the line endpoint and the scripted
// peer feed it what they read and hand on what it has carried.
#pragma once

#include "sim/clock.h"
#include "sim/frame.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace sim {

class UartCarrier {
public:
    struct Carried {
        std::uint8_t byte;
        Clock::time_point at; // complete on the wire at the controller
    };

    explicit UartCarrier(std::chrono::nanoseconds byteTime) : byteTime_(byteTime) {}

    // Bytes the program wrote, read from the line at `at`: each is carried one byte time after
    // the one before it, or after `at` when the line was idle.
    void push(std::span<const std::uint8_t> bytes, Clock::time_point at);
    // Removes and returns, oldest first, the bytes carried by `now`.
    std::vector<Carried> take(Clock::time_point now);
    // The program flushed its output at `now`: every byte not yet on the wire is discarded (the
    // one on the wire completes). Returns the discarded bytes, oldest first.
    Bytes flush(Clock::time_point now);
    // When the next byte is carried; nothing when none is waiting.
    std::optional<Clock::time_point> nextDue() const;

private:
    std::chrono::nanoseconds byteTime_;
    std::deque<Carried> queue_;
    Clock::time_point lineFree_{};
};

} // namespace sim
