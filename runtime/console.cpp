// Run-time start without a display.
#include "runtime/console.h"

#include <QCoreApplication>

int StartConsoleRuntime() {
    if (QCoreApplication::instance()) return 1;
    static int argc = 1;
    static char name[] = "evok-vx12-ctl";
    static char* argv[] = {name, nullptr};
    // Lives until the process ends: the receive notifier hangs on it.
    new QCoreApplication(argc, argv);
    return 1;
}
