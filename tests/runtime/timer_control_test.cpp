// The 50 ms timer's ticks are counted by the clock and handed over together: whatever program
// code runs next (a control's callback, the code after an event pump pass) must already have
// seen every tick that came due, and in an idle main loop they come within a second.
#include "panel_test_support.h"
#include "runtime/events.h"
#include "tests/harness/operator.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>

using namespace paneltest;
using namespace evok;

namespace {

using Clock = std::chrono::steady_clock;

long TicksDue(Clock::time_point from, Clock::time_point to) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count() / 50);
}

class Timers : public PanelFixture {};

TEST_F(Timers, EveryDueTickComesBeforeWhatRunsNext) {
    enum class Then { Click, Pump, Nothing };
    const struct {
        const char* what;
        bool eventsWhileWaiting; // false: the program is busy and processes nothing
        int waitMs;
        Then then;
        int lateMs; // how late the ticks may come
    } rows[] = {{"a click 120 ms after the start", true, 120, Then::Click, 0},
                {"a click 370 ms after the start", true, 370, Then::Click, 0},
                {"a click after 260 ms busy", false, 260, Then::Click, 0},
                {"an event pump pass after 260 ms busy", false, 260, Then::Pump, 0},
                {"idle for 1.2 s", true, 1200, Then::Nothing, 1000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // The timer's count starts when it is enabled.
        SetCtrlAttribute(main, PANEL_TIMER50MS, kAttrDimmed, 1);
        const Clock::time_point beforeStart = Clock::now();
        SetCtrlAttribute(main, PANEL_TIMER50MS, kAttrDimmed, 0);
        const Clock::time_point afterStart = Clock::now();
        recorded.clear();
        if (row.eventsWhileWaiting) {
            // The program idle in its main loop.
            QEventLoop idle;
            QTimer::singleShot(row.waitMs, Qt::PreciseTimer, &idle, &QEventLoop::quit);
            idle.exec();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(row.waitMs));
        }
        const Clock::time_point beforeNext = Clock::now();
        if (row.then == Then::Click) op::Click(main, PANEL_BTNRUN);
        if (row.then == Then::Pump) ProcessSystemEvents();
        const Clock::time_point afterNext = Clock::now();

        long ticks = 0; // before anything else was raised
        for (const Event& e : recorded) {
            if (e.control != PANEL_TIMER50MS) break;
            ASSERT_EQ(e.event, kEvTimerTick);
            ++ticks;
        }
        EXPECT_GE(ticks, TicksDue(afterStart, beforeNext - std::chrono::milliseconds(row.lateMs)));
        EXPECT_LE(ticks, TicksDue(beforeStart, afterNext));
        if (row.then == Then::Click) {
            EXPECT_EQ(EventsOf(main, PANEL_BTNRUN), (std::vector<int>{kEvLeftClick, kEvCommit}));
        }
    }
}

} // namespace
