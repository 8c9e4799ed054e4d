// Run-time start, main loop and event pump: starting without a display, what an idle pump
// costs, how fast arriving serial data wakes it, and quitting the main loop.
#include "serial_test_peer.h"

#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <thread>

using namespace serial_test;

namespace {

// The probe exits 10 when StartRuntime gave 1, 20 when it gave 0.
TEST(StartRuntime, StartsOffscreenAndReportsZeroWithoutAnyDisplay) {
    for (const char* platform : {"offscreen", static_cast<const char*>(nullptr)}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        if (platform) env.insert("QT_QPA_PLATFORM", platform);
        QProcess probe;
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral(EVOK_START_PROBE), {});
        ASSERT_TRUE(probe.waitForFinished(20000));
        EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit) << "the probe crashed";
        EXPECT_EQ(probe.exitCode(), platform ? 10 : 20)
            << probe.readAllStandardError().toStdString();
    }
}

// A loose guard only (the figures are in bench-idle and bench-live): a pump that spins fails it.
TEST(ProcessSystemEvents, IdleLoopHoldsNoCore) {
    long calls = 0;
    EXPECT_LT(pumpFor(1.0, &calls), 0.10);
    EXPECT_LT(calls, 5000) << "each call waits when nothing is pending";
}

// One call with nothing pending waits for the next event of any kind and runs it before it
// returns: a timer that comes due, an event posted by another thread; with none, it returns after
// its bound. Rows: what comes after 5 ms (null: nothing).
TEST(ProcessSystemEvents, WaitEndsWithTheNextEventOfAnyKindAndRunsIt) {
    QObject context;
    bool ran = false;
    const std::function<void()> rows[] = {
        [&] { QTimer::singleShot(5, Qt::PreciseTimer, &context, [&] { ran = true; }); },
        [&] {
            std::thread([&] {
                Delay(0.005);
                QMetaObject::invokeMethod(
                    &context, [&] { ran = true; }, Qt::QueuedConnection);
            }).detach();
        },
        nullptr};
    for (const auto& row : rows) {
        ran = false;
        pumpFor(0.05); // nothing left pending from before
        if (row) row();
        const double t0 = Timer();
        ProcessSystemEvents();
        const double took = Timer() - t0;
        EXPECT_EQ(ran, row != nullptr);
        EXPECT_GE(took, 0.004);
        EXPECT_LT(took, 0.020) << "the wait's bound";
    }
}

std::array<std::atomic<double>, 25> sentAt;
std::vector<double> latency;

// Each byte's value says which sample it is.
TEST_F(ComPort, ArrivingSerialDataWakesTheEventPumpAtOnce) {
    latency.clear();
    const auto stamp = [](int port, int, void*) {
        unsigned char byte = 0;
        if (ComRd(port, &byte, 1) == 1) latency.push_back(Timer() - sentAt.at(byte - 1u));
    };
    ASSERT_EQ(InstallComCallback(kPort, kComEvRxCount, 1, 85, stamp, nullptr), 0);
    std::thread peer([&] {
        for (unsigned char i = 0; i < sentAt.size(); ++i) {
            Delay(0.011 + 0.0007 * (i % 7)); // irregular: lands anywhere in the pump's wait
            sentAt[i] = Timer();
            sendAll(pty.masterFd(), {static_cast<unsigned char>(i + 1)});
        }
    });
    pumpUntil([] { return latency.size() >= sentAt.size(); }, 5.0);
    peer.join();
    ASSERT_EQ(latency.size(), sentAt.size());
    std::sort(latency.begin(), latency.end());
    EXPECT_LT(latency[12], 0.002);
    EXPECT_LT(latency.back(), 0.010);
}

// A long operation inside a callback pumps events, like the live loop; the quit arrives while
// it runs. The main loop returns the quit's value once the operation has finished.
TEST(RunUserInterface, QuitFromNestedEventProcessingEndsTheLoopWhenControlGetsBack) {
    QObject context;
    bool nestedRunning = false, quitRanInside = false;
    double nestedEnd = 0;
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
    });
    const double t0 = Timer();
    EXPECT_EQ(RunUserInterface(), 7);
    const double returned = Timer();
    EXPECT_TRUE(quitRanInside);
    EXPECT_GE(nestedEnd - t0, 0.15) << "the nested operation ran to its end";
    EXPECT_LT(returned - nestedEnd, 0.05);
}

} // namespace
