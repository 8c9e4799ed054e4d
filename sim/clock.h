// Time on the simulated line: the steady clock, the wire time of one byte, and sleeping until an
// absolute point of that clock.
#pragma once

#include <chrono>

namespace sim {

using Clock = std::chrono::steady_clock;

// 19200 baud, 8N1: a start bit, eight data bits and a stop bit, 10 bits a byte.
inline constexpr unsigned kLineBaud = 19200;
inline constexpr unsigned kBitsPerByte = 10;

// Wire time of one byte (520833 ns at 19200 baud, 10 bits).
inline std::chrono::nanoseconds byteTime(unsigned baud = kLineBaud,
                                         unsigned bitsPerByte = kBitsPerByte) {
    return std::chrono::nanoseconds(1'000'000'000LL * bitsPerByte / (baud ? baud : 1));
}

inline Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

inline double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Sleeps until the steady clock reaches `deadline` (absolute, not affected by how long the
// caller took to get here). Returns at once when the deadline has passed.
void sleepUntil(Clock::time_point deadline);

} // namespace sim
