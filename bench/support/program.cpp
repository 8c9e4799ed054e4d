#include "bench/support/program.h"

#include "bench/support/bench.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "runtime/events.h"
#include "runtime/testing.h"
#include "tests/harness/operator.h"
#include "tests/harness/program.h"
#include "views/live.h"

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

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

namespace {

// Calls `then` with the time of the first frame the RAW strip chart is handed from now on,
// looking every millisecond: a window counted from frame to frame holds whole frame periods, so
// its rate does not depend on where the window's edges fall between two frames. The watch ends
// with `owner`.
void AtNextFrame(QObject* owner, std::function<void(double at, std::uint64_t points)> then) {
    using namespace evok;
    auto* watch = new QTimer(owner);
    watch->setTimerType(Qt::PreciseTimer);
    const std::uint64_t before = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
    QObject::connect(watch, &QTimer::timeout, [watch, before, then] {
        const std::uint64_t now = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
        if (now == before) return;
        watch->stop();
        watch->deleteLater();
        then(TakeUsage().wall, now);
    });
    watch->start(1);
}

} // namespace

void ReportRunWindow(double warmUp, double seconds) {
    using namespace evok;
    Usage from, to;
    std::uint64_t pointsFrom = 0, pointsTo = 0, passesFrom = 0, passesTo = 0;
    double frameFrom = 0, frameTo = 0;
    QObject watches; // a watch still running when the loop has ended (line time-out) ends here
    PictureWatch pictures(CtrlWidget(panelHandle, PANEL_STRIPCHART_RAW));
    // Precise timers: the window is what it says (a coarse one may be off by 5 %). The processor
    // time is taken from the first frame on, after the millisecond watch has stopped.
    QTimer::singleShot(static_cast<int>(warmUp * 1000), Qt::PreciseTimer, [&] {
        AtNextFrame(&watches, [&](double at, std::uint64_t points) {
            from = TakeUsage();
            passesFrom = PumpPassCount();
            frameFrom = at;
            pointsFrom = points;
            pictures.setWatching(true);
        });
    });
    QTimer::singleShot(static_cast<int>((warmUp + seconds) * 1000), Qt::PreciseTimer, [&] {
        to = TakeUsage();
        passesTo = PumpPassCount();
        pictures.setWatching(false);
        AtNextFrame(&watches, [&](double at, std::uint64_t points) {
            frameTo = at;
            pointsTo = points;
            op::Click(panelHandle, PANEL_BTNSTOP);
        });
    });
    op::Click(panelHandle, PANEL_BTNRUN);
    const bool timedOut = StatusText() == kTextLineTimeout;
    // Every frame hands the whole history to the chart.
    Report1("frames", {static_cast<double>(pointsTo - pointsFrom) / kHistoryLen});
    Report1("frame_wall", {frameTo - frameFrom});
    Report1("wall", {to.wall - from.wall});
    Report1("cpu", {to.cpu - from.cpu});
    Report1("passes", {static_cast<double>(passesTo - passesFrom)});
    Report1("pictures", {static_cast<double>(pictures.pictures())});
    Report1("frame_to_screen", pictures.frameToScreen());
    Report1("peak_rss_mb", {TakeUsage().peakRssMb});
    Report1("timed_out", {timedOut ? 1.0 : 0.0});
}

void ReportPictureChecks(double seconds) {
    using namespace evok;
    QWidget* chart = CtrlWidget(panelHandle, PANEL_STRIPCHART_RAW);
    PictureWatch pictures(chart);
    pictures.setWatching(true);
    double checks = 0, failed = 0, worst = 0;
    unsigned long checked = 0;
    // The pictures are counted as they are painted; a tenth one is compared as soon as the pass
    // that painted it has ended (a zero timer), long before the next frame.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (pictures.pictures() < checked + 10) return;
        checked = pictures.pictures();
        QTimer::singleShot(0, [&] {
            const long differing = op::ScreenDifference(panelHandle);
            ++checks;
            failed += differing != 0 ? 1 : 0;
            worst = std::max(worst, static_cast<double>(differing));
        });
    });
    poll.start(1);
    op::At(seconds, [] { op::Click(panelHandle, PANEL_BTNSTOP); });
    op::Click(panelHandle, PANEL_BTNRUN);
    Report1("picture_checks", {checks, failed, worst});
}

PictureWatch::PictureWatch(QWidget* chart) : chart_(chart) {
    using namespace evok;
    shown_ = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
    chart_->installEventFilter(this);
    qApp->installEventFilter(this); // for the receive notifications
}

PictureWatch::~PictureWatch() {
    qApp->removeEventFilter(this);
}

bool PictureWatch::eventFilter(QObject* watched, QEvent* event) {
    using namespace evok;
    if (event->type() == QEvent::SockAct && qobject_cast<QSocketNotifier*>(watched)) {
        if (!on_) return false;
        // A frame may come in bursts: it has arrived with the last of them.
        watched->event(event);
        const double at = Now();
        const std::uint64_t before = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
        if (!arrivals_.empty() && arrivals_.back().pointsBefore == before)
            arrivals_.back().at = at;
        else
            arrivals_.push_back({before, at});
        return true;
    }
    if (watched != chart_ || event->type() != QEvent::Paint) return false;
    // Painted first, then timed: the picture is on the screen when its paint has ended.
    watched->event(event);
    const double at = Now();
    const std::uint64_t points = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
    if (points == shown_) return true; // painted again, nothing new shown
    shown_ = points;
    if (!on_) {
        arrivals_.clear();
        return true;
    }
    ++pictures_;
    // Every frame hands the whole history to the chart: a frame is shown once the chart has
    // been handed its points.
    while (!arrivals_.empty() && arrivals_.front().pointsBefore + kHistoryLen <= points) {
        latencies_.push_back(at - arrivals_.front().at);
        arrivals_.pop_front();
    }
    return true;
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
