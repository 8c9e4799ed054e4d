#include "bench/support/program.h"

#include "bench/support/bench.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "runtime/events.h"
#include "runtime/testing.h"
#include "tests/harness/operator.h"
#include "tests/harness/program.h"
#include "views/live.h"

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

void ReportRunWindow(double warmUp, double seconds) {
    using namespace evok;
    Usage from, to;
    std::uint64_t pointsFrom = 0, pointsTo = 0, passesFrom = 0, passesTo = 0;
    // Precise timers: the window is what it says (a coarse one may be off by 5 %).
    QTimer::singleShot(static_cast<int>(warmUp * 1000), Qt::PreciseTimer, [&] {
        from = TakeUsage();
        pointsFrom = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
        passesFrom = PumpPassCount();
    });
    QTimer::singleShot(static_cast<int>((warmUp + seconds) * 1000), Qt::PreciseTimer, [&] {
        to = TakeUsage();
        pointsTo = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
        passesTo = PumpPassCount();
        op::Click(panelHandle, PANEL_BTNSTOP);
    });
    op::Click(panelHandle, PANEL_BTNRUN);
    const bool timedOut = StatusText() == "Timeout RS232-Line!";
    // Every frame hands the whole history to the chart.
    Report1("frames", {static_cast<double>(pointsTo - pointsFrom) / kHistoryLen});
    Report1("wall", {to.wall - from.wall});
    Report1("cpu", {to.cpu - from.cpu});
    Report1("passes", {static_cast<double>(passesTo - passesFrom)});
    Report1("peak_rss_mb", {TakeUsage().peakRssMb});
    Report1("timed_out", {timedOut ? 1.0 : 0.0});
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
