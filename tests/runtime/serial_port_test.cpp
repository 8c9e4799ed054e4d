// Serial port service over real pseudo-terminals: opening and its failures, line settings,
// reads with their time limit, queue handling, hang-up and reopening.
#include "runtime/serial.h"
#include "runtime/serial_device.h"
#include "serial_test_peer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace serial_test;

namespace {

constexpr int kPort = 5;

// A port open on a fresh pty, with the program's settings and a 2.0 s time limit.
class ComPort : public ::testing::Test {
protected:
    sim::Pty pty;
    PortMapping mapping{kPort, pty.slavePath()};

    void SetUp() override {
        ASSERT_EQ(openLikeTheProgram(kPort), 0);
        ASSERT_EQ(SetComTime(kPort, 2.0), 0);
    }
    void TearDown() override { CloseCom(kPort); }
};

// --- opening -------------------------------------------------------------------------------

struct OpenCase {
    const char* name;
    int port;
    enum Device { Pty, Unmapped, MissingPath, RegularFile } device;
    long baud;
    int parity, dataBits, stopBits, inQueue, outQueue;
    int expected;
};

// Test names and messages show the row's name.
void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class ComOpenFailure : public ::testing::TestWithParam<OpenCase> {};

TEST_P(ComOpenFailure, ReturnsItsCodeAndLeavesThePortClosed) {
    const OpenCase& c = GetParam();
    sim::Pty pty;
    const std::string regular = ::testing::TempDir() + "evok_not_a_tty";
    std::ofstream(regular) << "not a terminal";
    std::string path;
    switch (c.device) {
    case OpenCase::Pty:
        path = pty.slavePath();
        break;
    case OpenCase::Unmapped:
        break;
    case OpenCase::MissingPath:
        path = "/dev/evok-no-such-device";
        break;
    case OpenCase::RegularFile:
        path = regular;
        break;
    }
    std::optional<PortMapping> mapping;
    const int mapped = c.port >= 1 && c.port <= kComMaxPort ? c.port : kPort;
    if (!path.empty()) mapping.emplace(mapped, path);
    if (c.device == OpenCase::Unmapped) {
        ::unsetenv(("EVOK_COM" + std::to_string(mapped)).c_str());
        ASSERT_EQ(ComPortDevice(mapped), "") << "a real device is listed at port " << mapped;
    }

    EXPECT_EQ(
        OpenComConfig(c.port, "", c.baud, c.parity, c.dataBits, c.stopBits, c.inQueue, c.outQueue),
        c.expected);
    const unsigned char byte = 0x42;
    const int notOpen = c.port >= 1 && c.port <= kComMaxPort ? kComErrNotOpen : kComErrInvalidPort;
    EXPECT_EQ(ComWrt(c.port, &byte, 1), notOpen);
    EXPECT_EQ(CloseCom(c.port), notOpen);
    std::remove(regular.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComOpenFailure,
    ::testing::Values(
        OpenCase{"NoDeviceMapped", kComMaxPort, OpenCase::Unmapped, 19200, 0, 8, 1, 4096, 4096,
                 kComErrNoPort},
        OpenCase{"MappedPathMissing", kPort, OpenCase::MissingPath, 19200, 0, 8, 1, 4096, 4096,
                 kComErrCannotOpen},
        OpenCase{"MappedToARegularFile", kPort, OpenCase::RegularFile, 19200, 0, 8, 1, 4096, 4096,
                 kComErrCannotOpen},
        OpenCase{"PortZero", 0, OpenCase::Pty, 19200, 0, 8, 1, 4096, 4096, kComErrInvalidPort},
        OpenCase{"PortNegative", -1, OpenCase::Pty, 19200, 0, 8, 1, 4096, 4096, kComErrInvalidPort},
        OpenCase{"PortAboveRange", kComMaxPort + 1, OpenCase::Pty, 19200, 0, 8, 1, 4096, 4096,
                 kComErrInvalidPort},
        OpenCase{"OddBaudRate", kPort, OpenCase::Pty, 12345, 0, 8, 1, 4096, 4096,
                 kComErrInvalidParam},
        OpenCase{"ParityMark", kPort, OpenCase::Pty, 19200, 3, 8, 1, 4096, 4096,
                 kComErrInvalidParam},
        OpenCase{"NineDataBits", kPort, OpenCase::Pty, 19200, 0, 9, 1, 4096, 4096,
                 kComErrInvalidParam},
        OpenCase{"FourDataBits", kPort, OpenCase::Pty, 19200, 0, 4, 1, 4096, 4096,
                 kComErrInvalidParam},
        OpenCase{"ThreeStopBits", kPort, OpenCase::Pty, 19200, 0, 8, 3, 4096, 4096,
                 kComErrInvalidParam},
        OpenCase{"InputQueueTooSmall", kPort, OpenCase::Pty, 19200, 0, 8, 1, 0, 4096,
                 kComErrInvalidParam},
        OpenCase{"OutputQueueNegative", kPort, OpenCase::Pty, 19200, 0, 8, 1, 4096, -1,
                 kComErrInvalidParam}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SerialCalls, OnAPortThatIsNotOpenReturnNotOpenOrInvalidPort) {
    unsigned char buf[4] = {};
    struct Row {
        const char* call;
        std::function<int(int)> run;
    };
    const Row rows[] = {
        {"ComRd", [&](int p) { return ComRd(p, buf, 4); }},
        {"ComWrt", [&](int p) { return ComWrt(p, buf, 4); }},
        {"GetInQLen", [](int p) { return GetInQLen(p); }},
        {"FlushInQ", [](int p) { return FlushInQ(p); }},
        {"FlushOutQ", [](int p) { return FlushOutQ(p); }},
        {"SetComTime", [](int p) { return SetComTime(p, 1.0); }},
        {"SetCTSMode", [](int p) { return SetCTSMode(p, 0); }},
        {"InstallComCallback",
         [](int p) { return InstallComCallback(p, 0x8000, 36, 85, nullptr, nullptr); }},
        {"CloseCom", [](int p) { return CloseCom(p); }},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.run(9), kComErrNotOpen) << row.call;
        EXPECT_EQ(row.run(0), kComErrInvalidPort) << row.call;
        EXPECT_EQ(row.run(kComMaxPort + 1), kComErrInvalidPort) << row.call;
    }
}

TEST(SerialDevices, PortNumbersFollowAdaptersThenUartsInNaturalOrder) {
    std::vector<std::string> found = {"/dev/ttyS10",  "/dev/ttyUSB10", "/dev/ttyS2",
                                      "/dev/ttyACM1", "/dev/ttyUSB2",  "/dev/rfcomm0",
                                      "/dev/ttyS0",   "/dev/ttyACM0",  "/dev/ttyAMA0"};
    serial_detail::sortIntoPortOrder(found);
    const std::vector<std::string> expected = {"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                                               "/dev/ttyACM1", "/dev/ttyS0",    "/dev/ttyS2",
                                               "/dev/ttyS10",  "/dev/rfcomm0",  "/dev/ttyAMA0"};
    EXPECT_EQ(found, expected);
}

TEST(SerialDevices, EnvironmentNamesThePortsDevice) {
    sim::Pty pty;
    {
        PortMapping mapping(12, pty.slavePath());
        EXPECT_EQ(ComPortDevice(12), pty.slavePath());
    }
    EXPECT_EQ(ComPortDevice(0), "");
    EXPECT_EQ(ComPortDevice(kComMaxPort + 1), "");
}

// --- line settings ---------------------------------------------------------------------------

struct SettingsCase {
    long baud;
    int parity, dataBits, stopBits;
    speed_t speed;
    bool twoStop;
};

std::string settingsName(const SettingsCase& c) {
    return std::to_string(c.baud) + "_" + "NOE"[c.parity] + std::to_string(c.dataBits) +
           std::to_string(c.stopBits);
}
void PrintTo(const SettingsCase& c, std::ostream* os) {
    *os << settingsName(c);
}

class ComLineSettings : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(ComLineSettings, AreRawWithoutFlowControlAndExclusive) {
    const SettingsCase& c = GetParam();
    sim::Pty pty;
    PortMapping mapping(kPort, pty.slavePath());
    ASSERT_EQ(OpenComConfig(kPort, "", c.baud, c.parity, c.dataBits, c.stopBits, 4096, 4096), 0);

    // A second opener of the device: refused for ordinary users (exclusive use); root passes
    // that lock, and then sees the settings the service made.
    const int other = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (geteuid() != 0) {
        EXPECT_LT(other, 0);
        EXPECT_EQ(errno, EBUSY);
    } else {
        ASSERT_GE(other, 0);
        termios t{};
        ASSERT_EQ(tcgetattr(other, &t), 0);
        // (A pty always reports 8 data bits without parity, whatever was set.)
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStop);
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        EXPECT_NE(t.c_cflag & CLOCAL, 0u);
        EXPECT_NE(t.c_cflag & CREAD, 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);

        EXPECT_EQ(SetCTSMode(kPort, 1), 0);
        ASSERT_EQ(tcgetattr(other, &t), 0);
        EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(SetCTSMode(kPort, 0), 0);
        ASSERT_EQ(tcgetattr(other, &t), 0);
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        ::close(other);
    }
    EXPECT_EQ(SetCTSMode(kPort, 2), kComErrInvalidParam);
    EXPECT_EQ(CloseCom(kPort), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, ComLineSettings,
                         ::testing::Values(SettingsCase{19200, 0, 8, 1, B19200, false},
                                           SettingsCase{9600, 2, 7, 2, B9600, true},
                                           SettingsCase{115200, 1, 8, 1, B115200, false}),
                         [](const auto& info) { return settingsName(info.param); });

// --- writing and reading ---------------------------------------------------------------------

TEST_F(ComPort, WriteReachesTheFarSideByteForByte) {
    const Bytes frame = pattern(36, 80); // contains the sync character 85
    EXPECT_EQ(ComWrt(kPort, frame.data(), 36), 36);
    EXPECT_EQ(receive(pty, 36), frame);
    EXPECT_EQ(ComWrt(kPort, frame.data(), 0), 0);
    EXPECT_EQ(ComWrt(kPort, frame.data(), -1), kComErrInvalidParam);
}

TEST_F(ComPort, ReadThatTimesOutReturnsTheShortCountAfterTheTimeLimit) {
    ASSERT_EQ(SetComTime(kPort, 0.5), 0);
    const Bytes part = pattern(10);
    ASSERT_TRUE(sendAll(pty, part));
    unsigned char buf[36] = {};
    const double t0 = Timer();
    const int n = ComRd(kPort, buf, 36);
    const double took = Timer() - t0;
    EXPECT_EQ(n, 10);
    EXPECT_EQ(Bytes(buf, buf + 10), part);
    EXPECT_NEAR(took, 0.5, 0.1);
}

TEST_F(ComPort, ReadCompletesAsSoonAsTheBytesArriveInPieces) {
    const Bytes frame = pattern(36);
    std::thread peer([&] {
        for (int i = 0; i < 3; ++i) {
            Delay(0.05);
            sendAll(pty.masterFd(), frame.data() + 12 * i, 12);
        }
    });
    unsigned char buf[36] = {};
    const double t0 = Timer();
    const int n = ComRd(kPort, buf, 36);
    const double took = Timer() - t0;
    peer.join();
    EXPECT_EQ(n, 36);
    EXPECT_EQ(Bytes(buf, buf + 36), frame);
    EXPECT_LT(took, 0.5);
}

TEST_F(ComPort, ReadNeverWritesBeyondCountAndLeavesTheRestQueued) {
    const Bytes sent = pattern(50);
    ASSERT_TRUE(sendAll(pty, sent));
    ASSERT_EQ(waitInQLen(kPort, 50), 50);
    unsigned char buf[28];
    std::fill(std::begin(buf), std::end(buf), 0xEE);
    EXPECT_EQ(ComRd(kPort, buf, 20), 20);
    EXPECT_EQ(Bytes(buf, buf + 20), Bytes(sent.begin(), sent.begin() + 20));
    for (int i = 20; i < 28; ++i)
        EXPECT_EQ(buf[i], 0xEE) << "byte " << i;
    EXPECT_EQ(GetInQLen(kPort), 30);
    EXPECT_EQ(ComRd(kPort, buf, 28), 28);
    EXPECT_EQ(Bytes(buf, buf + 28), Bytes(sent.begin() + 20, sent.begin() + 48));
    EXPECT_EQ(GetInQLen(kPort), 2);
}

TEST_F(ComPort, InQLenCountsWhatHasArrived) {
    ASSERT_TRUE(sendAll(pty, pattern(5)));
    EXPECT_EQ(waitInQLen(kPort, 5), 5);
    ASSERT_TRUE(sendAll(pty, pattern(31)));
    EXPECT_EQ(waitInQLen(kPort, 36), 36);
    Delay(0.05);
    EXPECT_EQ(GetInQLen(kPort), 36);
}

TEST_F(ComPort, FlushInQDiscardsExactlyWhatArrivedBefore) {
    // Part of the old bytes in the queue, part still in the driver.
    ASSERT_TRUE(sendAll(pty, pattern(20, 1)));
    ASSERT_EQ(waitInQLen(kPort, 20), 20);
    ASSERT_TRUE(sendAll(pty, pattern(15, 30)));
    Delay(0.05);
    EXPECT_EQ(FlushInQ(kPort), 0);
    EXPECT_EQ(GetInQLen(kPort), 0);

    const Bytes after = pattern(8, 200);
    ASSERT_TRUE(sendAll(pty, after));
    unsigned char buf[8] = {};
    ASSERT_EQ(SetComTime(kPort, 0.5), 0);
    EXPECT_EQ(ComRd(kPort, buf, 8), 8);
    EXPECT_EQ(Bytes(buf, buf + 8), after);
    EXPECT_EQ(GetInQLen(kPort), 0);
}

TEST_F(ComPort, FlushOutQAndReopeningAnOpenPortWork) {
    EXPECT_EQ(FlushOutQ(kPort), 0);
    // Opening an open port closes it first; the same device opens again.
    ASSERT_EQ(openLikeTheProgram(kPort), 0);
    const Bytes frame = pattern(36);
    EXPECT_EQ(ComWrt(kPort, frame.data(), 36), 36);
    EXPECT_EQ(receive(pty, 36), frame);
    // Closed and opened again on the same device (its exclusive lock must not linger).
    EXPECT_EQ(CloseCom(kPort), 0);
    EXPECT_EQ(CloseCom(kPort), kComErrNotOpen);
    ASSERT_EQ(openLikeTheProgram(kPort), 0);
    ASSERT_TRUE(sendAll(pty, frame));
    unsigned char buf[36] = {};
    EXPECT_EQ(ComRd(kPort, buf, 36), 36);
    EXPECT_EQ(Bytes(buf, buf + 36), frame);
}

TEST_F(ComPort, MoreThanTheQueueSizeStaysBoundedLosesNothingAndDoesNotSpin) {
    const Bytes flood = pattern(10000);
    std::thread peer([&] { sendAll(pty, flood); });
    const double cpu0 = processCpuSeconds();
    const double t0 = Timer();
    pumpFor(1.0);
    const double share = (processCpuSeconds() - cpu0) / (Timer() - t0);
    peer.join();
    EXPECT_EQ(GetInQLen(kPort), 4096);
    EXPECT_LT(share, 0.10) << "CPU share while the queue is full";
    std::printf("[ figure ] full queue: CPU share %.1f%% over 1 s of event processing\n",
                share * 100);

    Bytes got(10000);
    std::size_t n = 0;
    while (n < got.size()) {
        const int r = ComRd(kPort, got.data() + n, 1000);
        ASSERT_GT(r, 0);
        n += static_cast<std::size_t>(r);
        EXPECT_LE(GetInQLen(kPort), 4096);
    }
    EXPECT_EQ(got, flood);
}

// --- hang-up -----------------------------------------------------------------------------------

int hangupCalls = 0;
void countCalls(int, int, void*) {
    ++hangupCalls;
}

enum class FirstLook { EventProcessing, Write, Read };

const char* firstLookName(FirstLook f) {
    switch (f) {
    case FirstLook::EventProcessing:
        return "SeenByEventProcessing";
    case FirstLook::Write:
        return "SeenByWrite";
    default:
        return "SeenByRead";
    }
}
void PrintTo(FirstLook f, std::ostream* os) {
    *os << firstLookName(f);
}

class ComHangUp : public ::testing::TestWithParam<FirstLook> {};

TEST_P(ComHangUp, ShowsInResultsCostsNoCpuAndTheSameNumberReopens) {
    auto pty = std::make_unique<sim::Pty>();
    std::optional<PortMapping> mapping;
    mapping.emplace(kPort, pty->slavePath());
    ASSERT_EQ(openLikeTheProgram(kPort), 0);
    ASSERT_EQ(SetComTime(kPort, 2.0), 0);
    hangupCalls = 0;
    ASSERT_EQ(InstallComCallback(kPort, 0x8006, 36, 85, countCalls, nullptr), 0);

    const Bytes left = pattern(10);
    ASSERT_TRUE(sendAll(*pty, left));
    ASSERT_EQ(waitInQLen(kPort, 10), 10);
    pty->hangUp();
    Delay(0.02);

    unsigned char buf[36] = {};
    switch (GetParam()) {
    case FirstLook::EventProcessing:
        pumpFor(0.1);
        break;
    case FirstLook::Write:
        EXPECT_EQ(ComWrt(kPort, buf, 36), kComErrIo);
        break;
    case FirstLook::Read:
        break;
    }
    double t0 = Timer();
    EXPECT_EQ(ComRd(kPort, buf, 36), 10);
    EXPECT_LT(Timer() - t0, 0.2) << "a hung-up line must not hold a read for its time limit";
    EXPECT_EQ(Bytes(buf, buf + 10), left);
    t0 = Timer();
    EXPECT_EQ(ComRd(kPort, buf, 36), 0);
    EXPECT_LT(Timer() - t0, 0.2);
    EXPECT_EQ(ComWrt(kPort, buf, 36), kComErrIo);
    EXPECT_EQ(GetInQLen(kPort), 0);

    const double cpu0 = processCpuSeconds();
    const double w0 = Timer();
    pumpFor(1.0);
    const double share = (processCpuSeconds() - cpu0) / (Timer() - w0);
    EXPECT_LT(share, 0.10) << "CPU share after hang-up";
    std::printf("[ figure ] after hang-up: CPU share %.1f%% over 1 s of event processing\n",
                share * 100);
    EXPECT_EQ(hangupCalls, 0);

    EXPECT_EQ(CloseCom(kPort), 0);
    // The operator plugs the controller in again: a new device behind the same port number.
    pty = std::make_unique<sim::Pty>();
    mapping.reset();
    mapping.emplace(kPort, pty->slavePath());
    ASSERT_EQ(openLikeTheProgram(kPort), 0);
    const Bytes frame = pattern(36, 3);
    EXPECT_EQ(ComWrt(kPort, frame.data(), 36), 36);
    EXPECT_EQ(receive(*pty, 36), frame);
    ASSERT_TRUE(sendAll(*pty, frame));
    EXPECT_EQ(ComRd(kPort, buf, 36), 36);
    EXPECT_EQ(Bytes(buf, buf + 36), frame);
    EXPECT_EQ(CloseCom(kPort), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, ComHangUp,
                         ::testing::Values(FirstLook::EventProcessing, FirstLook::Write,
                                           FirstLook::Read),
                         [](const auto& info) { return firstLookName(info.param); });

} // namespace
