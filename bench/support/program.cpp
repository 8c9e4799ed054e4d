#include "bench/support/program.h"

#include "bench/support/bench.h"
#include "runtime/events.h"
#include "tests/harness/operator.h"
#include "tests/harness/program.h"

#include <QEvent>
#include <QPaintEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace bench {

bool StartProgram() {
    const std::string why = op::StartProgram();
    if (!why.empty())
        std::fprintf(stderr, "benchmark: the program did not start: %s\n", why.c_str());
    return why.empty();
}

void RunMainLoop(double seconds) {
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), Qt::PreciseTimer,
                       [] { QuitUserInterface(0); });
    RunUserInterface();
}

std::string StatusText() {
    return op::Status();
}

PaintCounter::PaintCounter(QWidget* widget) : widget_(widget) {
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool PaintCounter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint) return false;
    ++count_;
    const QRegion painted = static_cast<QPaintEvent*>(event)->region();
    if (watched == widget_ && (widget_->visibleRegion() - painted).isEmpty()) ++whole_;
    return false;
}

} // namespace bench
