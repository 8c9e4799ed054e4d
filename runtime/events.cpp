// Run-time start, main event loop and event pump.
#include "runtime/events.h"
#include "runtime/events_platform.h"
#include "runtime/serial_device.h"
#include "runtime/timing.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>

namespace {

QEventLoop* mainLoop = nullptr;
bool quitPending = false;
int quitValue = 0;

// The longest the pump waits when nothing is pending.
constexpr double kWaitLimit = 0.001;
// Ports watched at most by the wait (a program has one or two open).
constexpr int kMaxWatchedPorts = 16;

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
    QAbstractEventDispatcher* dispatcher =
        QCoreApplication::instance() ? QAbstractEventDispatcher::instance() : nullptr;
    if (!dispatcher) {
        // Nothing can ever be pending; keep a waiting loop from holding a core.
        Delay(kWaitLimit);
        return 0;
    }
    if (dispatcher->processEvents(QEventLoop::AllEvents)) return 0;
    // Nothing was pending. Wait for serial data (which ends the wait at once) or for the time
    // limit, in one system call: no timer is armed and disarmed for it, since a loop that calls
    // this a thousand times a second would pay for that every time. Other events that come
    // meanwhile (timers, operator input) are taken by the next call, at most a millisecond late.
    std::intptr_t handles[kMaxWatchedPorts];
    const int count = serial_detail::watchedHandles(handles, kMaxWatchedPorts);
    if (events_detail::waitForInput(handles, count, kWaitLimit))
        dispatcher->processEvents(QEventLoop::AllEvents);
    return 0;
}
