// Run-time start, main loop and event pump: what runs when, how long an idle pump waits, how
// fast arriving serial data wakes it, and that waiting loops do not hold a core.
#include "runtime/events.h"
#include "runtime/serial.h"
#include "serial_test_peer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMetaObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

using namespace serial_test;

namespace {

TEST(StartRuntime, KeepsTheRunningApplicationAndLetsOnlyQuitEndTheLoop) {
    EXPECT_EQ(StartRuntime(), 1);
    EXPECT_EQ(StartRuntime(), 1);
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
}

struct StartCase {
    const char* name;
    const char* platform; // QT_QPA_PLATFORM, null: unset
    int exitCode;
};

// Test names and messages show the row's name.
void PrintTo(const StartCase& c, std::ostream* os) {
    *os << c.name;
}

class StartRuntimeProbe : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartRuntimeProbe, StartsTheGuiOrReportsThatItCannot) {
    const StartCase& c = GetParam();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    if (c.platform) env.insert("QT_QPA_PLATFORM", c.platform);
    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(EVOK_START_PROBE), {});
    ASSERT_TRUE(probe.waitForFinished(20000));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit) << "the probe crashed";
    EXPECT_EQ(probe.exitCode(), c.exitCode) << probe.readAllStandardError().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, StartRuntimeProbe,
                         ::testing::Values(StartCase{"Offscreen", "offscreen", 10},
                                           StartCase{"NoDisplayAtAll", nullptr, 20}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProcessSystemEvents, RunsEverythingPendingInOneCall) {
    int ran = 0;
    QObject context;
    for (int i = 0; i < 3; ++i)
        QMetaObject::invokeMethod(
            &context, [&] { ++ran; }, Qt::QueuedConnection);
    QTimer::singleShot(0, &context, [&] { ++ran; });
    ProcessSystemEvents();
    EXPECT_EQ(ran, 4);
}

TEST(ProcessSystemEvents, IdleLoopWaitsAboutAMillisecondAndHoldsNoCore) {
    ProcessSystemEvents();
    const double cpu0 = processCpuSeconds();
    const double t0 = Timer();
    long calls = 0;
    while (Timer() - t0 < 2.0) {
        ProcessSystemEvents();
        ++calls;
    }
    const double wall = Timer() - t0;
    const double share = (processCpuSeconds() - cpu0) / wall;
    std::printf("[ figure ] idle pump: %ld calls in %.2f s (%.3f ms per call), CPU share %.1f%%\n",
                calls, wall, wall / calls * 1000, share * 100);
    EXPECT_LT(share, 0.10);
    // Each call waits, but not much longer than a millisecond.
    EXPECT_GT(calls, 800);
    EXPECT_LT(calls, 20000);
}

constexpr int kPort = 8;
std::vector<double> deliveredAt;

void drainAndStamp(int port, int, void*) {
    deliveredAt.push_back(Timer());
    unsigned char buf[64];
    const int n = GetInQLen(port);
    if (n > 0) ComRd(port, buf, std::min(n, 64));
}

TEST(ProcessSystemEvents, ArrivingSerialDataWakesTheWaitAtOnce) {
    sim::Pty pty;
    PortMapping mapping(kPort, pty.slavePath());
    ASSERT_EQ(openLikeTheProgram(kPort), 0);
    ASSERT_EQ(SetComTime(kPort, 2.0), 0);
    ASSERT_EQ(InstallComCallback(kPort, kComEvRxCount, 1, 85, drainAndStamp, nullptr), 0);
    deliveredAt.clear();

    constexpr int kSamples = 25;
    std::vector<double> sentAt(kSamples);
    std::atomic<bool> done{false};
    std::thread peer([&] {
        for (int i = 0; i < kSamples; ++i) {
            // Irregular spacing, so the byte lands at any point of the pump's wait.
            Delay(0.011 + 0.0007 * (i % 7));
            const unsigned char byte = static_cast<unsigned char>(i + 1);
            sentAt[static_cast<std::size_t>(i)] = Timer();
            sendAll(pty.masterFd(), &byte, 1);
        }
        done = true;
    });
    const double end = Timer() + 5.0;
    while ((!done || deliveredAt.size() < kSamples) && Timer() < end)
        ProcessSystemEvents();
    peer.join();
    EXPECT_EQ(CloseCom(kPort), 0);

    ASSERT_EQ(deliveredAt.size(), static_cast<std::size_t>(kSamples));
    std::vector<double> latency;
    for (int i = 0; i < kSamples; ++i)
        latency.push_back(deliveredAt[static_cast<std::size_t>(i)] -
                          sentAt[static_cast<std::size_t>(i)]);
    std::sort(latency.begin(), latency.end());
    const double median = latency[kSamples / 2];
    const double worst = latency.back();
    std::printf("[ figure ] wake latency over %d bytes: median %.3f ms, max %.3f ms\n", kSamples,
                median * 1000, worst * 1000);
    EXPECT_GE(latency.front(), 0.0);
    EXPECT_LT(median, 0.002);
    EXPECT_LT(worst, 0.010);
}

// --- main loop ---------------------------------------------------------------------------------

TEST(RunUserInterface, QuitBeforeRunReturnsAtOnce) {
    QuitUserInterface(5);
    const double t0 = Timer();
    EXPECT_EQ(RunUserInterface(), 5);
    EXPECT_LT(Timer() - t0, 0.05);

    // That quit is used up: the next run waits for its own.
    QObject context;
    QTimer::singleShot(100, &context, [] { QuitUserInterface(6); });
    const double t1 = Timer();
    EXPECT_EQ(RunUserInterface(), 6);
    EXPECT_GE(Timer() - t1, 0.09);
}

TEST(RunUserInterface, RunsCallbacksUntilQuit) {
    QObject context;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &context, [&] {
        if (++ticks == 5) QuitUserInterface(3);
    });
    ticker.start(10);
    EXPECT_EQ(RunUserInterface(), 3);
    EXPECT_EQ(ticks, 5);
}

TEST(RunUserInterface, QuitFromNestedEventProcessingEndsTheLoopWhenControlGetsBack) {
    QObject context;
    bool quitRanInside = false;
    bool nestedRunning = false;
    double nestedEnd = 0, nestedTook = 0;
    // A long operation inside a callback that pumps events, like the live loop; the quit
    // arrives while it runs.
    QTimer::singleShot(10, &context, [&] {
        const double start = Timer();
        nestedRunning = true;
        QTimer::singleShot(20, &context, [&] {
            quitRanInside = nestedRunning;
            QuitUserInterface(7);
        });
        while (Timer() - start < 0.15)
            ProcessSystemEvents();
        nestedRunning = false;
        nestedEnd = Timer();
        nestedTook = nestedEnd - start;
    });
    EXPECT_EQ(RunUserInterface(), 7);
    const double returned = Timer();
    EXPECT_TRUE(quitRanInside);
    EXPECT_GE(nestedTook, 0.15) << "the nested operation ran to its end";
    EXPECT_GE(returned, nestedEnd);
    EXPECT_LT(returned - nestedEnd, 0.05);
}

} // namespace
