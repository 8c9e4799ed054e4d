#include "runtime/timer_control.h"
#include "runtime/widget_support.h"

#include <algorithm>
#include <cmath>

namespace panelsvc {

TimerControl::TimerControl(QWidget* parent) : QWidget(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &TimerControl::tick);
}

void TimerControl::configure() {
    const double seconds = Prop<double>(this, "interval", 0.1);
    timer_.setInterval(std::max(1, static_cast<int>(std::lround(seconds * 1000.0))));
    setVisible(false); // a timer has no face at run time
    setTicking(Prop<bool>(this, "timerEnabled", true));
}

void TimerControl::setTicking(bool on) {
    if (on && !timer_.isActive()) timer_.start();
    if (!on) timer_.stop();
}

} // namespace panelsvc
