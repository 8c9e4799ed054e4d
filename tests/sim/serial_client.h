// The test's end of a simulated line, used as the operator program uses its serial device.
#pragma once

#include "sim/clock.h"
#include "sim/frame.h"

#include <optional>
#include <string>
#include <vector>

namespace simtest {

using sim::Bytes;
using sim::Clock;

struct Received {
    Bytes bytes;
    std::vector<Clock::time_point> times; // arrival of each chunk read
    std::vector<std::size_t> sizes;       // bytes of each chunk read
    bool hungUp = false;                  // a read ended with EIO or end of file
};

class Port {
public:
    // Opens the device raw; throws std::runtime_error.
    explicit Port(const std::string& path);
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    // The time the write returned; nothing when it failed.
    std::optional<Clock::time_point> write(const Bytes& bytes);
    // Discards what was written and not yet taken by the far side (tcflush TCOFLUSH).
    void flushOutput();
    // Reads until `count` bytes came, the line hung up or `timeout` seconds passed; with `quiet`
    // above 0 it also ends that many seconds after the last byte.
    Received read(std::size_t count, double timeout, double quiet = 0);

private:
    int fd_ = -1;
};

// A 36-byte frame: sync word, order, 16 words (missing ones 0).
Bytes frame(std::uint16_t order, std::vector<std::uint16_t> words = {});

} // namespace simtest
