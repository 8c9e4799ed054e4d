#include "runtime/lamp.h"
#include "runtime/widget_support.h"

#include <QPainter>

#include <algorithm>

namespace panelsvc {

Lamp::Lamp(QWidget* parent) : QWidget(parent) {
    blink_.setInterval(250);
    connect(&blink_, &QTimer::timeout, this, [this] {
        phase_ = !phase_;
        update();
    });
}

void Lamp::configure() {
    onColor_ = ColorProp(this, "onColor", onColor_);
    const int s = Prop<int>(this, "lampState", 0);
    setState(s == 1 ? kLit : s == 2 ? kBlinking : kDark);
}

void Lamp::setState(State state) {
    state_ = state;
    phase_ = true;
    if (state == kBlinking)
        blink_.start();
    else
        blink_.stop();
    update();
}

bool Lamp::litNow() const {
    return state_ == kLit || (state_ == kBlinking && phase_);
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int d = std::min(width(), height()) - 2;
    const QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    const QColor fill = !isEnabled() ? QColor(0xB0, 0xB0, 0xB0)
                        : litNow()   ? onColor_
                                     : onColor_.darker(350);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(fill);
    p.drawEllipse(r);
}

} // namespace panelsvc
