// The event pump: one call waits for the next event of any kind and runs it, with nothing pending
// it waits out its bound instead of spinning, and arriving serial data wakes it at once.
#include "serial_test_peer.h"

#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <thread>

using namespace serial_test;

namespace {

// Rows: what comes after 5 ms (null: nothing, and the call returns after its bound): a timer that
// comes due, an event posted by another thread.
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

} // namespace
