// Collects 36-byte request frames from the byte stream of the line: bytes before a sync word
// (0x00 0x55) are skipped, and a partial frame is dropped when the line has been quiet for the
// gap time, so the controller finds the next frame after garbage or a broken request.
#pragma once

#include "sim/clock.h"
#include "sim/frame.h"

#include <optional>
#include <vector>

namespace sim {

struct AssembledFrame {
    Bytes bytes;                 // 36 bytes, starting with the sync word
    Clock::time_point firstByte; // read time of its first byte
    Clock::time_point lastWire;  // wire time of its last byte (equals the read time unpaced)
};

class FrameAssembler {
public:
    explicit FrameAssembler(Clock::duration gap) : gap_(gap) {}

    // One byte, read from the line at `readAt`, complete on the wire at `wireAt`. Returns the
    // frame this byte completes.
    std::optional<AssembledFrame> push(std::uint8_t byte, Clock::time_point readAt,
                                       Clock::time_point wireAt);
    // Drops a partial frame whose last byte came a gap or more before `now`. Returns true when
    // it dropped one.
    bool expire(Clock::time_point now);
    // When expire() would drop the partial frame held now, if any.
    std::optional<Clock::time_point> expiryTime() const;
    void clear() {
        buffer_.clear();
        readTimes_.clear();
    }

    std::size_t skippedBytes() const { return skipped_; }
    std::size_t droppedPartials() const { return dropped_; }
    std::size_t pending() const { return buffer_.size(); }

private:
    Clock::duration gap_;
    Bytes buffer_;
    std::vector<Clock::time_point> readTimes_;
    Clock::time_point lastRead_{};
    std::size_t skipped_ = 0;
    std::size_t dropped_ = 0;
};

} // namespace sim
