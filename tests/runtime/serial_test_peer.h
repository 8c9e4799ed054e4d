// Helpers for the serial and event-pump tests: the far side of the line is a real pty
// (sim::Pty) whose master these write and read; the pump helpers record whether a callback ran
// inside event processing and what share of a core the process used meanwhile.
#pragma once

#include "runtime/events.h"
#include "runtime/serial.h"
#include "runtime/timing.h"
#include "sim/pty.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace serial_test {

using Bytes = std::vector<unsigned char>;

// n bytes counting 1..80 from start: raw-mode traps (^C, LF, CR, XON/XOFF) but never the
// frame sync character 85 unless a test puts it there.
inline Bytes pattern(std::size_t n, unsigned start = 1) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>((start + i) % 80 + 1);
    return b;
}

// The master is blocking: a write returns once all of it is in the line's buffers.
inline bool sendAll(int fd, const Bytes& data) {
    return ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

// Maps port to device (EVOK_COM<port>) and opens it with the program's line settings.
inline int openOn(int port, const std::string& device) {
    ::setenv(("EVOK_COM" + std::to_string(port)).c_str(), device.c_str(), 1);
    return OpenComConfig(port, "", 19200, 0, 8, 1, 4096, 4096);
}

// Set while a test runs the event pump; the receive notification must only come then.
inline bool insidePump = false;

// Pumps events until done() holds or timeout seconds pass. Returns the process's CPU share
// over that time.
inline double pumpUntil(const std::function<bool()>& done, double timeout) {
    const double cpu0 = static_cast<double>(std::clock()), t0 = Timer();
    while (!done() && Timer() - t0 < timeout) {
        const bool outer = insidePump;
        insidePump = true;
        ProcessSystemEvents();
        insidePump = outer;
    }
    return (static_cast<double>(std::clock()) - cpu0) / CLOCKS_PER_SEC / (Timer() - t0);
}

inline double pumpFor(double seconds) {
    return pumpUntil([] { return false; }, seconds);
}

// Polls GetInQLen (which processes no events) until it reaches n or 2 s pass.
inline int waitInQLen(int port, int n) {
    const double end = Timer() + 2.0;
    int len = GetInQLen(port);
    for (; len >= 0 && len < n && Timer() < end; len = GetInQLen(port))
        Delay(0.002);
    return len;
}

constexpr int kPort = 5;

// A port open on a fresh pty with the program's line settings and a 0.5 s time limit.
class ComPort : public ::testing::Test {
protected:
    sim::Pty pty;
    Bytes buf = Bytes(36, 0xEE);

    void SetUp() override {
        ASSERT_EQ(openOn(kPort, pty.slavePath()), 0);
        ASSERT_EQ(SetComTime(kPort, 0.5), 0);
    }
    void TearDown() override { CloseCom(kPort); }
    void send(const Bytes& b) { ASSERT_TRUE(sendAll(pty.masterFd(), b)); }
    Bytes head(std::size_t n) const { return Bytes(buf.begin(), buf.begin() + n); }
};

} // namespace serial_test
