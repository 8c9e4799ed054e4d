// Small POSIX helpers shared by the line endpoint and the scripted peer.
#pragma once

#include "sim/clock.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sim::posix {

// Sets O_NONBLOCK; throws std::runtime_error on failure.
void setNonBlocking(int fd);

// Opens a serial device raw, 8N1 at the given baud rate, no flow control, non-blocking, and
// empties its queues. Throws std::runtime_error with the device and the reason on failure (a baud
// rate other than the line's 19200 among them).
int openSerialDevice(const std::string& path, unsigned baud);

// Puts a pty master into packet mode (TIOCPKT): every read then starts with a status byte, so
// the master learns when the program flushes its output. Throws std::runtime_error on failure.
void setPacketMode(int masterFd);

// One read from a pty master in packet mode: its data, or the status alone.
struct Packet {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool outputFlushed = false; // the program discarded its output queue (TIOCPKT_FLUSHWRITE)
};
// Splits the `n` bytes a read returned (n > 0).
Packet splitPacket(const std::uint8_t* buf, std::size_t n);

// A pipe that wakes a thread sleeping in waitReadable().
class WakePipe {
public:
    WakePipe();
    ~WakePipe();
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;
    void wake();
    void drain();
    int readFd() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
};

struct Readiness {
    bool readable = false; // data (or hang-up/error) on fd
    bool writable = false;
    bool woken = false; // the wake pipe was signalled
};

// Waits until fd is readable (or writable, when asked), the wake pipe is signalled, or the
// deadline has passed (none: no limit). fd < 0 waits on the pipe alone.
Readiness waitReady(int fd, bool wantWrite, const WakePipe& wake,
                    std::optional<Clock::time_point> deadline);

} // namespace sim::posix
