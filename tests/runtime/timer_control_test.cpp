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
using Clock = std::chrono::steady_clock;

class Timers : public PanelFixture {};

TEST_F(Timers, EveryDueTickComesBeforeWhatRunsNext) {
    const struct {
        const char* what;
        bool idle; // false: the program is busy and processes no events while it waits
        int waitMs;
        char then; // 'c' a click, 'p' an event pump pass, '-' nothing
        int lateMs;
    } rows[] = {{"a click 370 ms after the start", true, 370, 'c', 0},
                {"a click after 260 ms busy", false, 260, 'c', 0},
                {"an event pump pass after 260 ms busy", false, 260, 'p', 0},
                {"idle for 1.2 s", true, 1200, '-', 1000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetCtrlAttribute(main, PANEL_TIMER50MS, kAttrDimmed, 1); // counting starts when enabled
        const Clock::time_point beforeStart = Clock::now();
        SetCtrlAttribute(main, PANEL_TIMER50MS, kAttrDimmed, 0);
        const Clock::time_point afterStart = Clock::now();
        recorded.clear();
        QEventLoop mainLoop;
        QTimer::singleShot(row.waitMs, Qt::PreciseTimer, &mainLoop, &QEventLoop::quit);
        if (row.idle)
            mainLoop.exec();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(row.waitMs));
        const Clock::time_point beforeNext = Clock::now() - std::chrono::milliseconds(row.lateMs);
        if (row.then == 'c') op::Click(main, PANEL_BTNRUN);
        if (row.then == 'p') ProcessSystemEvents();
        const auto due = [](Clock::time_point from, Clock::time_point to) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count() / 50;
        };
        long ticks = 0; // before anything else was raised
        while (ticks < std::ssize(recorded) && recorded[ticks].control == PANEL_TIMER50MS)
            EXPECT_EQ(recorded[ticks++].event, kEvTimerTick);
        EXPECT_GE(ticks, due(afterStart, beforeNext));
        EXPECT_LE(ticks, due(beforeStart, Clock::now()));
        EXPECT_EQ(ticks < std::ssize(recorded), row.then == 'c'); // the click's events follow
    }
}
