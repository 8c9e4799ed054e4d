// Serial port service over real pseudo-terminals: opening and its failures, the exclusive lock,
// reads and writes with their time limit, queue handling, a flood, hang-up and reopening; and the
// receive notification, which comes only in event processing, with the bits that hold.
#include "serial_test_peer.h"

#include "runtime/serial_device.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#include <thread>
#include <tuple>

using namespace serial_test;

namespace {

// Rows: port, the device kPort maps to, baud rate, data bits, input queue size, result and the
// text the operator is shown for it.
TEST(ComOpen, FailuresReturnTheirCodeAndTextAndLeaveThePortClosed) {
    sim::Pty pty;
    const std::string tty = pty.slavePath();
    ::unsetenv(("EVOK_COM" + std::to_string(kComMaxPort)).c_str());
    ASSERT_EQ(ComPortDevice(kComMaxPort), "") << "a real device is listed at the last port";
    const std::tuple<int, std::string, long, int, int, int, std::string> rows[] = {
        {kComMaxPort, tty, 19200, 8, 4096, kComErrNoPort, "No serial port found"},
        {kPort, "/dev/evok-no-such-device", 19200, 8, 4096, kComErrCannotOpen, "Cannot open port"},
        {kPort, "/dev/null", 19200, 8, 4096, kComErrCannotOpen, "Cannot open port"}, // no tty
        {0, tty, 19200, 8, 4096, kComErrInvalidPort, "Invalid port number"},
        {kComMaxPort + 1, tty, 19200, 8, 4096, kComErrInvalidPort, "Invalid port number"},
        {kPort, tty, 12345, 8, 4096, kComErrInvalidParam, "Invalid parameter"},
        {kPort, tty, 19200, 9, 4096, kComErrInvalidParam, "Invalid parameter"},
        {kPort, tty, 19200, 8, 0, kComErrInvalidParam, "Invalid parameter"},
    };
    for (const auto& [port, device, baud, dataBits, inQueue, expected, text] : rows) {
        SCOPED_TRACE(device + " port " + std::to_string(port));
        ::setenv(("EVOK_COM" + std::to_string(kPort)).c_str(), device.c_str(), 1);
        EXPECT_EQ(OpenComConfig(port, "", baud, 0, dataBits, 1, inQueue, 4096), expected);
        EXPECT_EQ(ComErrorText(expected), text);
        const int notOpen = port > 0 && port <= kComMaxPort ? kComErrNotOpen : kComErrInvalidPort;
        EXPECT_EQ(ComWrt(port, "x", 1), notOpen);
        EXPECT_EQ(CloseCom(port), notOpen);
    }
    EXPECT_STREQ(ComErrorText(kComErrIo), "Unknown I/0 error");
}

// A read short of its count returns what came once the time limit passed; a reply in parts is
// returned as soon as its last part is there; GetInQLen counts what arrived; a read takes only
// what it asks for; FlushInQ discards what had arrived (queued or still in the driver) but keeps
// what comes later.
TEST_F(ComPort, ReadTimeLimitQueueLengthPartialReadAndFlush) {
    send(pattern(10));
    double t0 = Timer();
    EXPECT_EQ(ComRd(kPort, buf.data(), 36), 10);
    EXPECT_NEAR(Timer() - t0, 0.5, 0.1);
    EXPECT_EQ(head(10), pattern(10));

    send(pattern(10));
    std::thread rest([&] { Delay(0.05), sendAll(pty.masterFd(), pattern(26, 11)); });
    t0 = Timer();
    EXPECT_EQ(ComRd(kPort, buf.data(), 36), 36);
    EXPECT_LT(Timer() - t0, 0.2) << "a complete reply waited for the time limit";
    rest.join();
    EXPECT_EQ(buf, pattern(36));

    buf.assign(36, 0xEE);
    send(pattern(50));
    ASSERT_EQ(waitInQLen(kPort, 50), 50);
    EXPECT_EQ(ComRd(kPort, buf.data(), 20), 20);
    EXPECT_EQ(head(20), pattern(20));
    EXPECT_EQ(buf[20], 0xEE) << "written beyond the count";
    EXPECT_EQ(GetInQLen(kPort), 30);

    send(pattern(15, 30));
    Delay(0.05);
    EXPECT_EQ(FlushInQ(kPort), 0);
    EXPECT_EQ(GetInQLen(kPort), 0);
    send(pattern(8, 60));
    EXPECT_EQ(ComRd(kPort, buf.data(), 8), 8);
    EXPECT_EQ(head(8), pattern(8, 60));
}

// Nobody reads the far side: a write returns what went out once the time limit passed, and a
// write into the full line fails with the time-out code at its limit.
TEST_F(ComPort, WriteTimeLimitGivesPartOrTimeout) {
    const Bytes big = pattern(200000);
    double t0 = Timer();
    const int part = ComWrt(kPort, big.data(), static_cast<int>(big.size()));
    EXPECT_GT(part, 0);
    EXPECT_LT(part, static_cast<int>(big.size()));
    EXPECT_NEAR(Timer() - t0, 0.5, 0.1);
    t0 = Timer();
    EXPECT_EQ(ComWrt(kPort, big.data(), 36), kComErrTimeout);
    EXPECT_NEAR(Timer() - t0, 0.5, 0.1);
}

// The COM selector's text for a device: what the device tree says of it, and an adapter's latency
// timer where the tree shows one. Rows: device name, USB product, where the timer file lies
// under the port's node ("../" is the USB interface), the timer, the text. A pty has no entry.
TEST_F(ComPort, LabelShowsTheProductAndTheLatencyTimerWhereTheDeviceTreeHasThem) {
    namespace fs = std::filesystem;
    const fs::path sys = fs::temp_directory_path() / ("evok-sys-" + std::to_string(::getpid()));
    const std::string rows[][5] = {
        {"ttyUSB0", "FT232R USB UART", "latency_timer", "1\n", "FT232R USB UART, latency 1 ms"},
        {"ttyUSB1", "FT231X UART\n", "../latency_timer", "16", "FT231X UART, latency 16 ms"},
        {"ttyUSB2", "CP2102 USB to UART", "", "", "CP2102 USB to UART"},
    };
    for (const auto& [name, product, timerFile, timer, label] : rows) {
        const fs::path node = sys / "devices" / name / "1-1:1.0" / name; // also the device path
        fs::create_directories(node);
        fs::create_directories(sys / "class/tty" / name);
        fs::create_directory_symlink(node, sys / "class/tty" / name / "device");
        std::ofstream(node / "../../product") << product;
        if (!timerFile.empty()) std::ofstream(node / timerFile) << timer;
        EXPECT_EQ(serial_detail::describeSerialDevice(node.string(), sys.string()), label);
    }
    fs::remove_all(sys);
    EXPECT_EQ(ComPortDescription(kPort), "");
}

// An open port holds the exclusive lock; CloseCom releases it, else a non-root user could not
// open the device again (root passes the lock, so the flag itself is asked). A pty refuses
// low-latency mode: the port opens all the same, and once closed the device is free and carries
// the next opening's bytes.
TEST_F(ComPort, HoldsTheExclusiveLockUntilClosedAndReopens) {
    for (const int held : {1, 0}) {
        const int other = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int exclusive = -1;
        EXPECT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, held);
        ::close(other);
        EXPECT_EQ(held ? CloseCom(kPort) : 0, 0);
    }
    ASSERT_EQ(openOn(kPort, pty.slavePath()), 0);
    send(pattern(36));
    EXPECT_EQ(ComRd(kPort, buf.data(), 36), 36);
    EXPECT_EQ(buf, pattern(36));
}

// More than the queue holds: the queue stays at its size while the rest waits in the driver,
// event processing does not spin on the full queue, and nothing is lost.
TEST_F(ComPort, MoreThanTheQueueHoldsStaysBoundedWithoutSpinning) {
    const Bytes flood = pattern(10000);
    std::thread peer([&] { sendAll(pty.masterFd(), flood); });
    const double share = pumpFor(1.0);
    EXPECT_EQ(GetInQLen(kPort), 4096);
    EXPECT_LT(share, 0.10) << "CPU share while the queue is full";
    Bytes got(flood.size());
    EXPECT_EQ(ComRd(kPort, got.data(), 10000), 10000);
    peer.join();
    EXPECT_EQ(got, flood);
}

// The far side goes away (cable pulled): event processing does not spin on the dead device,
// reads end promptly with what was queued, writes fail, and the port number opens again on a
// new device.
TEST_F(ComPort, HangUpShowsInResultsCostsNoCpuAndThePortReopens) {
    ASSERT_EQ(SetComTime(kPort, 2.0), 0);
    const auto fail = [](int, int ev, void*) { ADD_FAILURE() << "notified " << ev; };
    ASSERT_EQ(InstallComCallback(kPort, 0x8006, 36, 85, fail, nullptr), 0);
    send(pattern(10));
    ASSERT_EQ(waitInQLen(kPort, 10), 10);
    pty.hangUp();
    EXPECT_LT(pumpFor(1.0), 0.10) << "CPU share after hang-up";

    const double t0 = Timer();
    EXPECT_EQ(ComRd(kPort, buf.data(), 36), 10);
    EXPECT_EQ(ComRd(kPort, buf.data() + 10, 26), 0);
    EXPECT_LT(Timer() - t0, 0.2) << "a hung-up line must not hold a read for its time limit";
    EXPECT_EQ(head(10), pattern(10));
    EXPECT_EQ(ComWrt(kPort, buf.data(), 36), kComErrIo);
    EXPECT_EQ(CloseCom(kPort), 0);

    sim::Pty plugged;
    ASSERT_EQ(openOn(kPort, plugged.slavePath()), 0);
    ASSERT_TRUE(sendAll(plugged.masterFd(), pattern(36, 5)));
    EXPECT_EQ(ComRd(kPort, buf.data(), 36), 36);
    EXPECT_EQ(buf, pattern(36, 5));
}

constexpr unsigned char kSync = 85;

// The bits of each notification; -1 for a call outside event processing or for another port.
std::vector<int> events;

void record(int port, int ev, void*) {
    events.push_back(port == kPort && insidePump ? ev : -1);
}

// 35 queued bytes give no call; the 36th gives one 0x8000 call, at the next event processing,
// not in the GetInQLen or ComRd that pulled the bytes in; once removed, it is never called.
TEST_F(ComPort, NotificationComesOnlyInEventProcessingOnceTheCountIsQueued) {
    events.clear();
    ASSERT_EQ(InstallComCallback(kPort, kComEvRxCount, 36, kSync, record, nullptr), 0);
    send(pattern(35));
    ASSERT_EQ(waitInQLen(kPort, 35), 35);
    pumpFor(0.1);
    EXPECT_TRUE(events.empty()) << "35 bytes are below the notify count";
    send(pattern(1));
    ASSERT_EQ(waitInQLen(kPort, 36), 36);
    EXPECT_TRUE(events.empty());
    pumpUntil([] { return !events.empty(); }, 1.0);
    pumpFor(0.05);
    EXPECT_EQ(events, std::vector<int>{0x8000}) << "one call, no second without new bytes";

    send(pattern(36));
    Delay(0.05);
    EXPECT_EQ(ComRd(kPort, buf.data(), 36), 36); // pulls the new bytes in
    EXPECT_EQ(events.size(), 1u);
    pumpUntil([] { return events.size() > 1; }, 1.0);
    EXPECT_EQ(events, (std::vector<int>{0x8000, 0x8000}));

    send(pattern(36)); // pulled in, then the notification is removed before it is due
    ASSERT_EQ(waitInQLen(kPort, 72), 72);
    ASSERT_EQ(InstallComCallback(kPort, 0, 36, kSync, nullptr, nullptr), 0);
    pumpFor(0.1);
    EXPECT_EQ(events.size(), 2u) << "a removed notification was called";
}

// Rows on an emptied queue: the notification's mask, the bytes the far side sends and the
// bits of the one call that follows (0: no call).
TEST_F(ComPort, NotificationReportsTheBitsThatHold) {
    Bytes sync3 = pattern(3), sync10 = pattern(10), sync36 = pattern(36);
    sync3[1] = sync10[2] = sync36[0] = kSync;
    const std::tuple<int, Bytes, int> rows[] = {
        {kComEvRxChar, sync3, kComEvRxChar},  {kComEvRxChar, pattern(3), 0},
        {kComEvRxCount, sync10, 0},           {0x8006, sync36, kComEvRxCount | kComEvRxChar},
        {0x8006, pattern(36), kComEvRxCount},
    };
    for (const auto& [mask, sent, expected] : rows) {
        SCOPED_TRACE(::testing::Message() << "mask " << mask << ", " << sent.size() << " bytes");
        ASSERT_EQ(FlushInQ(kPort), 0);
        ASSERT_EQ(InstallComCallback(kPort, mask, 36, kSync, record, nullptr), 0);
        events.clear();
        send(sent);
        pumpUntil([] { return !events.empty(); }, expected ? 1.0 : 0.2);
        pumpFor(0.05);
        EXPECT_EQ(events, expected ? std::vector<int>{expected} : std::vector<int>{});
        EXPECT_EQ(GetInQLen(kPort), static_cast<int>(sent.size())) << "the bytes did arrive";
    }
}

} // namespace
