// The far side of the line as the program's serial device sees it: decides when the bytes the
// controller sends are handed over to the computer. Bytes go onto the wire one byte time apart;
// a UART (and a pseudo-terminal, paced) hands them over as they complete, in bursts of its FIFO;
// a latency-timer adapter holds them until its timer runs out or a packet is full; a
// small-packet adapter hands over what it holds once every USB frame. Pure timing, no I/O:
// the line endpoint and the scripted peer write what take() gives them.
#pragma once

#include "sim/clock.h"
#include "sim/frame.h"
#include "sim/line_model.h"

#include <deque>
#include <optional>

namespace sim {

class HandOver {
public:
    // `origin`: when the adapter started; its timer's hand-over grid counts from here.
    HandOver(const LineModel& model, Clock::time_point origin);

    // Queues bytes whose first byte starts on the wire at `start`, byte k complete at
    // start + (k + 1) * byteTime (all at `start` when byteTime is 0). UART and pty hand them
    // over in bursts of at most `burstBytes`, counted from the first, each when its last byte
    // is complete. `start` must not lie before the end of the bytes queued earlier.
    void add(const Bytes& bytes, Clock::time_point start, std::chrono::nanoseconds byteTime,
             std::size_t burstBytes);
    // Removes and returns, oldest first, every byte handed over by `now`.
    Bytes take(Clock::time_point now);
    // When the next non-empty hand-over happens; nothing when no byte is queued.
    std::optional<Clock::time_point> nextDue() const;
    bool empty() const { return queue_.empty(); }

private:
    struct Queued {
        std::uint8_t byte;
        Clock::time_point complete; // on the wire
        Clock::time_point release;  // burst models: when it is handed over
    };
    // The adapter's state: its timer's next expiry, the front bytes it holds, and how many front
    // bytes it has handed over.
    struct Adapter {
        Clock::time_point tick;
        std::size_t held = 0;
        std::size_t out = 0;
    };

    bool grid() const;
    // Carries the adapter through every event (byte complete, timer, full packet) up to `now`.
    void run(Adapter& a, Clock::time_point now) const;

    LineModel model_;
    Clock::duration period_;
    std::size_t packetBytes_;
    std::deque<Queued> queue_;
    Adapter adapter_;
};

} // namespace sim
