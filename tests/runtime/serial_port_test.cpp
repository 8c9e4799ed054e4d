// Serial port service over real pseudo-terminals: opening and its failures, reads with their
// time limit, queue handling, a flood, hang-up and reopening; and with the paced simulator, an
// echo request answered with data word 0 = 0x00AA, taking the wire time of its 72 bytes.
#include "serial_test_peer.h"
#include "sim/simulator.h"

#include <fcntl.h>
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
    EXPECT_STREQ(ComErrorText(-5), "RS-232 error!");
}

// A read short of its count returns what came once the time limit passed; GetInQLen counts what
// arrived; a read takes only what it asks for; FlushInQ discards what had arrived (queued or
// still in the driver) but keeps what comes later.
TEST_F(ComPort, TimedOutReadQueueLengthPartialReadAndFlush) {
    send(pattern(10));
    const double t0 = Timer();
    EXPECT_EQ(ComRd(kPort, buf.data(), 36), 10);
    EXPECT_NEAR(Timer() - t0, 0.5, 0.1);
    EXPECT_EQ(head(10), pattern(10));

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

// The direct reads (firmware text, data blocks) with the receive notification installed as the
// program has it: a reply that comes in parts is returned whole as soon as its last part is
// there, not at the time limit, however many bytes the notification waits for.
TEST_F(ComPort, ReadOfAReplyInPartsEndsWithItsLastByte) {
    ASSERT_EQ(InstallComCallback(
                  kPort, 0x8006, 36, 85, [](int, int, void*) {}, nullptr),
              0);
    for (const std::size_t count : {20u, 64u, 128u}) {
        SCOPED_TRACE(count);
        const Bytes reply = pattern(count);
        Bytes got(count, 0xEE);
        send(Bytes(reply.begin(), reply.begin() + 10));
        std::thread rest([&] {
            Delay(0.05);
            sendAll(pty.masterFd(), Bytes(reply.begin() + 10, reply.end()));
        });
        const double t0 = Timer();
        EXPECT_EQ(ComRd(kPort, got.data(), static_cast<int>(count)), static_cast<int>(count));
        EXPECT_LT(Timer() - t0, 0.2);
        rest.join();
        EXPECT_EQ(got, reply);
    }
}

// CloseCom releases the exclusive lock: else a non-root user could not open the device again
// (root passes the lock, so the flag itself is asked too).
TEST_F(ComPort, ReopensAfterCloseWithTheExclusiveLockReleased) {
    EXPECT_EQ(CloseCom(kPort), 0);
    const int other = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int exclusive = -1;
    EXPECT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0) << "the device stayed locked";
    EXPECT_EQ(exclusive, 0);
    ::close(other);

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
    EXPECT_EQ(ComWrt(kPort, buf.data(), 10), 10);
    EXPECT_EQ(receive(plugged.masterFd(), 10), pattern(10));
}

TEST(SerialWithSimulator, EchoIsAnsweredAtTheSpeedOfTheLine) {
    sim::Simulator simulator; // paced at 19200 baud
    setenv("EVOK_COM9", simulator.devicePath().c_str(), 1);
    ASSERT_EQ(OpenComConfig(9, "", 19200, 0, 8, 1, 4096, 4096), 0);
    ASSERT_EQ(SetComTime(9, 2.0), 0);

    sim::FrameWords words{};
    words[1] = 500;
    const sim::Bytes request = sim::encodeFrame(sim::kOrderEcho, words);
    unsigned char reply[36] = {};
    for (int attempt = 0; attempt < 3; ++attempt) {
        FlushInQ(9);
        const double start = Timer();
        ASSERT_EQ(ComWrt(9, request.data(), 36), 36);
        ASSERT_EQ(ComRd(9, reply, 36), 36);
        const double took = Timer() - start;
        // 72 bytes of 10 bits at 19200 baud: 37.5 ms. Never faster; the upper bound leaves room
        // for a loaded machine (or a sanitizer build) but still fails a line paced twice.
        EXPECT_GE(took, 0.0375 * 0.98);
        EXPECT_LT(took, 0.0375 * 1.6);
        EXPECT_EQ(reply[0], 0x00);
        EXPECT_EQ(reply[1], 0x55);
        EXPECT_EQ(reply[3], sim::kOrderEcho);
        EXPECT_EQ(reply[4], 0x00);
        EXPECT_EQ(reply[5], 0xAA);
    }
    EXPECT_EQ(CloseCom(9), 0);
}

} // namespace
