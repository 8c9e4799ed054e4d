#include "runtime/timer_control.h"
#include "runtime/due_ticks.h"
#include "runtime/widget_support.h"

#include <QPointer>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace panelsvc {

namespace {

// The longest a coalescing timer's ticks wait when nothing else happens.
constexpr int kCoalescedWakeMs = 1000;

std::vector<TimerControl*> coalescing; // enabled coalescing timers
bool delivering = false;

} // namespace

TimerControl::TimerControl(QWidget* parent) : QWidget(parent) {}

TimerControl::~TimerControl() {
    std::erase(coalescing, this);
}

void TimerControl::configure() {
    const double seconds = Prop<double>(this, "interval", 0.1);
    intervalMs_ = std::max(1, static_cast<int>(std::lround(seconds * 1000.0)));
    setVisible(false); // a timer has no face at run time
    setTicking(false); // the settings below take effect from a fresh start
    coalesce_ = Prop<bool>(this, "coalesce", false);
    setTicking(Prop<bool>(this, "timerEnabled", true));
}

void TimerControl::setTicking(bool on) {
    if (on == timer_.isActive()) return;
    if (!on) {
        // Ticks that came due and were not delivered are dropped: delivering them here would
        // raise an event inside the program's own call.
        timer_.stop();
        std::erase(coalescing, this);
        return;
    }
    if (!coalesce_) {
        timer_.start(intervalMs_, Qt::PreciseTimer, this);
        return;
    }
    // Wake for a whole number of ticks, so each wake comes when a tick is due.
    const int ticksPerWake = std::max(1, (kCoalescedWakeMs + intervalMs_ - 1) / intervalMs_);
    timer_.start(ticksPerWake * intervalMs_, Qt::PreciseTimer, this);
    since_.start();
    delivered_ = 0;
    coalescing.push_back(this);
}

void TimerControl::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (coalesce_)
        DeliverDueTicks();
    else
        emit tick();
}

std::uint64_t TimerControl::dueNow() const {
    return static_cast<std::uint64_t>(since_.elapsed() / intervalMs_);
}

void TimerControl::deliverDue() {
    const std::uint64_t due = dueNow();
    const QPointer<TimerControl> alive(this);
    // A callback may stop the timer (or discard its panel) between two ticks.
    while (alive && timer_.isActive() && delivered_ < due) {
        ++delivered_;
        emit tick();
    }
}

void DeliverDueTicks() {
    if (delivering) return;
    // Called before every callback and pump pass: the common case, nothing due, only reads clocks.
    if (std::none_of(coalescing.begin(), coalescing.end(),
                     [](const TimerControl* t) { return t->delivered_ < t->dueNow(); }))
        return;
    delivering = true;
    // A tick's callback may enable or disable timers: walk a copy and skip the ones that left.
    const std::vector<QPointer<TimerControl>> timers(coalescing.begin(), coalescing.end());
    for (const QPointer<TimerControl>& t : timers)
        if (t && std::find(coalescing.begin(), coalescing.end(), t.data()) != coalescing.end())
            t->deliverDue();
    delivering = false;
}

} // namespace panelsvc
