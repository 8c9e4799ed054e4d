// Helpers for the serial and event-pump tests: the far side of the line is a real pty
// (sim::Pty); these write and read its master side, map a port number to it, and measure time
// and CPU.
#pragma once

#include "runtime/events.h"
#include "runtime/serial.h"
#include "runtime/timing.h"
#include "sim/pty.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace serial_test {

using Bytes = std::vector<unsigned char>;

// n bytes counting up from start (mod 251, so no byte equals the frame sync character 85 by
// accident unless start is chosen so).
inline Bytes pattern(std::size_t n, unsigned start = 1) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>((start + i) % 251);
    return b;
}

// Bytes without the given character.
inline Bytes patternWithout(std::size_t n, unsigned char avoid) {
    Bytes b = pattern(n, 100);
    for (auto& c : b)
        if (c == avoid) c = static_cast<unsigned char>(avoid + 1);
    return b;
}

// Writes everything to the pty master, waiting for room as needed (at most timeout seconds).
inline bool sendAll(int fd, const unsigned char* data, std::size_t n, double timeout = 5.0) {
    const double end = Timer() + timeout;
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, data + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (Timer() > end) return false;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
    return true;
}

inline bool sendAll(sim::Pty& pty, const Bytes& data) {
    return sendAll(pty.masterFd(), data.data(), data.size());
}

// Reads exactly n bytes from the pty master within timeout seconds; fewer if they do not come.
inline Bytes receive(sim::Pty& pty, std::size_t n, double timeout = 2.0) {
    Bytes got;
    const double end = Timer() + timeout;
    unsigned char buf[4096];
    while (got.size() < n) {
        const double left = end - Timer();
        if (left <= 0) break;
        pollfd p{pty.masterFd(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) break;
        const ssize_t r = ::read(pty.masterFd(), buf, std::min(sizeof buf, n - got.size()));
        if (r <= 0) break;
        got.insert(got.end(), buf, buf + r);
    }
    return got;
}

// EVOK_COM<port> names the pty's device for the lifetime of this object.
class PortMapping {
public:
    PortMapping(int port, const std::string& path) : name_("EVOK_COM" + std::to_string(port)) {
        if (const char* old = std::getenv(name_.c_str())) old_ = old;
        ::setenv(name_.c_str(), path.c_str(), 1);
    }
    ~PortMapping() {
        if (old_)
            ::setenv(name_.c_str(), old_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    PortMapping(const PortMapping&) = delete;
    PortMapping& operator=(const PortMapping&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Opens port with the system's line settings on the device its number maps to.
inline int openLikeTheProgram(int port) {
    return OpenComConfig(port, "", 19200, 0, 8, 1, 4096, 4096);
}

// CPU seconds (user + system) used by the whole process so far.
inline double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Set while a test runs the event pump; the receive notification must only come then.
inline bool& insidePump() {
    static bool inside = false;
    return inside;
}

inline void pumpOnce() {
    insidePump() = true;
    ProcessSystemEvents();
    insidePump() = false;
}

// Runs the event pump until done() holds or timeout seconds pass. Returns done().
inline bool pumpUntil(const std::function<bool()>& done, double timeout) {
    const double end = Timer() + timeout;
    while (!done() && Timer() < end)
        pumpOnce();
    return done();
}

inline void pumpFor(double seconds) {
    const double end = Timer() + seconds;
    while (Timer() < end)
        pumpOnce();
}

// Polls GetInQLen (which processes no events) until it reaches n or timeout seconds pass.
inline int waitInQLen(int port, int n, double timeout = 2.0) {
    const double end = Timer() + timeout;
    int len = GetInQLen(port);
    while (len >= 0 && len < n && Timer() < end) {
        Delay(0.002);
        len = GetInQLen(port);
    }
    return len;
}

} // namespace serial_test
