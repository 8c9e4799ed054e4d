// Run-time start, main event loop and event pump.
#include "runtime/events.h"
#include "runtime/due_ticks.h"
#include "runtime/events_platform.h"
#include "runtime/show_pace.h"
#include "runtime/testing.h"
#include "runtime/timing.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QStyleHints>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

QEventLoop* mainLoop = nullptr;
bool quitPending = false;
int quitValue = 0;

// The longest the pump waits when nothing is pending, unless the loop has told its own limit: a
// loop that tests its time limit once per pass sees it passed at most this late.
constexpr int kWaitLimitMs = 15;
std::uint64_t passes = 0;
int depth = 0; // ProcessSystemEvents calls running now, one inside another
// A waiting loop's own limit, and the depth its ProcessSystemEvents calls start from.
struct {
    double at = 0;
    int depth = -1;
} loopLimit;

// How long a wait with nothing pending may last.
int WaitMs() {
    if (loopLimit.depth != depth) return kWaitLimitMs;
    const double left = std::min(loopLimit.at - Timer(), 60.0);
    return left > 0 ? static_cast<int>(std::ceil(left * 1000)) + 1 : kWaitLimitMs;
}

} // namespace

int StartRuntime() {
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        // A non-GUI application object cannot carry panels.
        if (!qobject_cast<QApplication*>(existing)) return 0;
    } else {
        if (!events_detail::guiPlatformAvailable()) return 0;
        static int argc = 1;
        static char name[] = "evok-vx12-trace-watch";
        static char* argv[] = {name, nullptr};
        // Lives until the process ends: panels, timers and notifiers hang on it.
        new QApplication(argc, argv);
    }
    // Only QuitUserInterface ends the main loop; hiding the last panel must not.
    QApplication::setQuitOnLastWindowClosed(false);
    // A steady text cursor: a blinking one repaints the focused field twice a second, which is
    // most of what the program costs while it waits for the operator.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
    return 1;
}

int RunUserInterface() {
    if (!QCoreApplication::instance()) return -1;
    if (mainLoop) return -1; // already running
    if (quitPending) {
        quitPending = false;
        return quitValue;
    }
    QEventLoop loop;
    mainLoop = &loop;
    const int value = loop.exec();
    mainLoop = nullptr;
    quitPending = false;
    return value;
}

int QuitUserInterface(int value) {
    quitValue = value;
    quitPending = true;
    // The loop checks its exit flag when control gets back to it, after any nested event
    // processing (and the callbacks inside it) has returned.
    if (mainLoop) mainLoop->exit(value);
    return 0;
}

int ProcessSystemEvents() {
    ++passes;
    QAbstractEventDispatcher* dispatcher =
        QCoreApplication::instance() ? QAbstractEventDispatcher::instance() : nullptr;
    if (!dispatcher) {
        // Nothing can ever be pending; keep a waiting loop from holding a core.
        Delay(kWaitLimitMs / 1000.0);
        return 0;
    }
    const int waitMs = WaitMs();
    // This pass counts in the depth while it runs; whatever ran, the caller sees every timer tick
    // that has come due when it returns.
    struct Pass {
        Pass() { ++depth; }
        ~Pass() {
            --depth;
            panelsvc::DeliverDueTicks();
        }
    } pass;
    panelsvc::ShowPosted();
    if (dispatcher->processEvents(QEventLoop::AllEvents)) return 0;
    // Nothing was pending: the dispatcher's own wait, which ends with the next event of any kind
    // (serial data through its notifier, operator input, the window system, a timer, a posted
    // event) and runs it, or with the bound. The bound is a timer of its own, stopped again when
    // something else came first so that it wakes nobody later.
    static QTimer* bound = [] {
        auto* timer = new QTimer; // lives as long as the program, like the application object
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        return timer;
    }();
    bound->start(waitMs);
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    bound->stop();
    return 0;
}

void SetWaitLimit(double at) {
    loopLimit = {at, at > 0 ? depth : -1};
}

std::uint64_t PumpPassCount() {
    return passes;
}
