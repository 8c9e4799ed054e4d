// The event pump: one call waits for the next event of any kind and runs it, with nothing pending
// it waits out its bound (or the calling loop's own limit) instead of spinning, and arriving
// serial data wakes it at once.
#include "serial_test_peer.h"

#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <tuple>

using namespace serial_test;

namespace {

TEST(ProcessSystemEvents, WaitEndsWithTheNextEventOfAnyKindOrItsLimitAndRunsIt) {
    QObject context;
    bool ran = false;
    const auto in5ms = [&](std::function<void()> fn) {
        QTimer::singleShot(5, Qt::PreciseTimer, &context, [&ran, fn] { fn(), ran = true; });
    };
    const auto postedIn5ms = [&] {
        std::thread([&] {
            Delay(0.005);
            QMetaObject::invokeMethod(
                &context, [&] { ran = true; }, Qt::QueuedConnection);
        }).detach();
    };
    // Rows: what, what comes after 5 ms (null: nothing), the loop's own limit (0: none), the least
    // and the most the call takes (s).
    const std::tuple<const char*, std::function<void()>, double, double, double> rows[] = {
        {"a timer comes due", [&] { in5ms([] {}); }, 0, 0.004, 0.020},
        {"another thread posts an event", postedIn5ms, 0, 0.004, 0.020},
        {"nothing: the bound", nullptr, 0, 0.004, 0.020},
        {"nothing: the loop's own limit", nullptr, 0.05, 0.050, 0.056},
        {"a callback waits inside: its bound", [&] { in5ms([] { ProcessSystemEvents(); }); }, 0.05,
         0.015, 0.040}};
    for (const auto& [what, comes, limit, least, most] : rows) {
        SCOPED_TRACE(what);
        ran = false;
        pumpFor(0.05); // nothing left pending from before
        if (comes) comes();
        const double t0 = Timer();
        if (limit > 0) SetWaitLimit(t0 + limit);
        ProcessSystemEvents();
        const double took = Timer() - t0;
        SetWaitLimit(0);
        EXPECT_EQ(ran, comes != nullptr);
        EXPECT_GE(took, least);
        EXPECT_LT(took, most);
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
