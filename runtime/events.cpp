// Run-time start, main event loop and event pump.
#include "runtime/events.h"
#include "runtime/events_platform.h"
#include "runtime/timing.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

QEventLoop* mainLoop = nullptr;
bool quitPending = false;
int quitValue = 0;

// Ends the bounded wait of ProcessSystemEvents: a precise single-shot timer whose expiry is an
// event, so the dispatcher's blocking wait returns after at most its interval.
QTimer* wakeTimer() {
    static QTimer* timer = nullptr;
    if (!timer) {
        timer = new QTimer;
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(1);
    }
    return timer;
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
        Delay(0.001);
        return 0;
    }
    if (dispatcher->processEvents(QEventLoop::AllEvents)) return 0;
    QTimer* timer = wakeTimer();
    timer->start();
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    timer->stop();
    return 0;
}
