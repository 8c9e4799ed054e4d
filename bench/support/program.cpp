#include "bench/support/program.h"

#include "app/shell.h"
#include "bench/support/bench.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "link/com232.h"
#include "runtime/events.h"
#include "runtime/panel.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace bench {

bool StartProgram() {
    UseOffscreenPlatform();
    if (evok::StartUp() != 0) {
        std::fprintf(stderr, "benchmark: the program did not start (panel description?)\n");
        return false;
    }
    if (evok::szVersion[0] == '\0') {
        std::fprintf(stderr, "benchmark: no controller on port 1: status \"%s\"\n",
                     StatusText().c_str());
        return false;
    }
    return true;
}

void RunMainLoop(double seconds) {
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), Qt::PreciseTimer,
                       [] { QuitUserInterface(0); });
    RunUserInterface();
}

std::string StatusText() {
    char text[512] = "";
    GetCtrlVal(evok::panelHandle, evok::PANEL_STATUS, text, sizeof text);
    return text;
}

PaintCounter::PaintCounter(QWidget* widget) {
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool PaintCounter::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Paint) ++count_;
    return false;
}

} // namespace bench
