#include "sim/io_posix.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

void sleepUntil(Clock::time_point deadline) {
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
    if (ns <= 0) return;
    timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    // The steady clock is CLOCK_MONOTONIC; an absolute deadline does not drift with wake-ups.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

namespace posix {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

void setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) fail("fcntl O_NONBLOCK");
}

int openSerialDevice(const std::string& path, unsigned baud) {
    // The controller's line has one speed; anything else is refused, never quietly replaced.
    if (baud != kLineBaud) {
        errno = EINVAL;
        fail("the controller's line runs at " + std::to_string(kLineBaud) + " baud, not " +
             std::to_string(baud));
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail("cannot open " + path);
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        const int e = errno;
        close(fd);
        errno = e;
        fail(path + " is not a serial device");
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int e = errno;
        close(fd);
        errno = e;
        fail("cannot set up " + path);
    }
    tcflush(fd, TCIOFLUSH);
    return fd;
}

void setPacketMode(int masterFd) {
    int on = 1;
    if (ioctl(masterFd, TIOCPKT, &on) != 0) fail("ioctl TIOCPKT");
}

Packet splitPacket(const std::uint8_t* buf, std::size_t n) {
    // A status read is the status byte alone; data follows a zero byte. Other status bits
    // (start/stop, input flushed) do not concern the controller.
    if (buf[0] != TIOCPKT_DATA) return {nullptr, 0, (buf[0] & TIOCPKT_FLUSHWRITE) != 0};
    return {buf + 1, n - 1, false};
}

WakePipe::WakePipe() {
    if (pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) fail("pipe2");
}

WakePipe::~WakePipe() {
    for (int fd : fds_)
        if (fd >= 0) close(fd);
}

void WakePipe::wake() {
    const char c = 1;
    [[maybe_unused]] ssize_t n = write(fds_[1], &c, 1);
}

void WakePipe::drain() {
    char buf[64];
    while (read(fds_[0], buf, sizeof buf) > 0) {
    }
}

Readiness waitReady(int fd, bool wantWrite, const WakePipe& wake,
                    std::optional<Clock::time_point> deadline) {
    pollfd fds[2] = {{wake.readFd(), POLLIN, 0},
                     {fd, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    timespec ts{};
    timespec* timeout = nullptr;
    if (deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(*deadline - Clock::now());
        const long long ns = left.count() > 0 ? left.count() : 0;
        ts = {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        timeout = &ts;
    }
    Readiness r;
    if (ppoll(fds, count, timeout, nullptr) <= 0) return r;
    r.woken = fds[0].revents & POLLIN;
    if (count == 2) {
        r.readable = fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL);
        r.writable = fds[1].revents & POLLOUT;
    }
    return r;
}

} // namespace posix
} // namespace sim
