#include "runtime/indicator.h"
#include "runtime/show_pace.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionSpinBox>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace panelsvc {

namespace {

// A line edit keeps this many pixels between its text and its left and right edges.
constexpr int kTextMargin = 2;

// Indicators whose spin box is behind what they show, brought in step together by one timer: a
// run of writes costs one wake-up every kBoxLagMs, not one per indicator.
std::vector<QPointer<Indicator>> behind;

void SettleLater(Indicator* indicator) {
    static QTimer* lag = [] {
        auto* timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(Indicator::kBoxLagMs);
        QObject::connect(timer, &QTimer::timeout, [] {
            const std::vector<QPointer<Indicator>> due = std::move(behind);
            behind.clear();
            for (const QPointer<Indicator>& i : due)
                if (i) i->settle();
        });
        return timer;
    }();
    if (std::find(behind.begin(), behind.end(), indicator) == behind.end())
        behind.emplace_back(indicator);
    if (!lag->isActive()) lag->start();
}

} // namespace

Indicator::Indicator(QWidget* parent) : QSpinBox(parent) {
    // The line edit keeps the text for text() and assistive tools but is never shown or painted.
    lineEdit()->hide();
    adopt(value());
    // The spin box's own changes (the panel description's value, a new range) are shown too.
    connect(this, &QSpinBox::valueChanged, this, &Indicator::adopt);
}

void Indicator::showValue(int value) {
    value = std::clamp(value, minimum(), maximum());
    if (value == shown_) return;
    shown_ = value;
    // The live loop writes between taking a frame and sending its next request: the digits are
    // laid out and drawn when written values are next shown, after the request has gone.
    ShowSoon(this, [this] {
        adopt(shown_);
        if (QAccessible::isActive())
            settle();
        else
            SettleLater(this);
    });
}

void Indicator::settle() {
    const QSignalBlocker block(this);
    setValue(shown_);
}

void Indicator::adopt(int value) {
    shown_ = value;
    digits_ = value == minimum() && !specialValueText().isEmpty()
                  ? specialValueText()
                  : prefix() + textFromValue(value) + suffix();
    update();
}

void Indicator::takeBox() {
    const qreal ratio = devicePixelRatioF();
    box_ = QPixmap(size() * ratio);
    box_.setDevicePixelRatio(ratio);
    box_.fill(Qt::transparent);
    QPainter p(&box_);
    p.fillRect(rect(), palette().brush(backgroundRole()));
    // What the spin box paints itself: the frame around the field.
    QStyleOptionSpinBox spin;
    initStyleOption(&spin);
    style()->drawComplexControl(QStyle::CC_SpinBox, &spin, &p, this);
    // What its frameless line edit paints under the text: the field's panel.
    QLineEdit* edit = lineEdit();
    QStyleOptionFrame field;
    field.initFrom(edit);
    field.rect = edit->geometry();
    field.lineWidth = 0;
    field.midLineWidth = 0;
    field.state |= QStyle::State_Sunken;
    field.features = QStyleOptionFrame::None;
    p.translate(field.rect.topLeft());
    field.rect.moveTopLeft(QPoint(0, 0));
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &field, &p, edit);
    // Where the line edit lays out its line: its contents inside its margins, the line centred.
    const QRect contents = style()
                               ->subElementRect(QStyle::SE_LineEditContents, &field, edit)
                               .marginsRemoved(edit->textMargins())
                               .translated(edit->pos());
    field_ = contents.adjusted(kTextMargin, 0, -kTextMargin, 0);
    const QFontMetrics metrics(font());
    baseline_ = contents.top() + (contents.height() - metrics.height() + 1) / 2 + metrics.ascent();
}

void Indicator::paintEvent(QPaintEvent*) {
    if (box_.isNull() || box_.size() != size() * devicePixelRatioF()) takeBox();
    QPainter p(this);
    p.drawPixmap(0, 0, box_);
    // The digits where the line edit would put them, placed the way it places a line that fits
    // (room for its cursor and the font's overhangs included). A number's advance is its
    // characters' advances: digits are not kerned.
    const QFontMetricsF metrics(font());
    qreal advance = 0;
    for (QChar c : digits_)
        advance += metrics.horizontalAdvance(c);
    const int leftOverhang =
        digits_.isEmpty() ? 0 : std::max(0, -qRound(metrics.leftBearing(digits_.front())));
    const int rightOverhang =
        digits_.isEmpty() ? 0 : std::max(0, -qRound(metrics.rightBearing(digits_.back())));
    const int widthUsed = qRound(advance) + 1 + rightOverhang;
    int scroll = 0;
    if (alignment() & Qt::AlignRight)
        scroll = widthUsed - field_.width() + 1;
    else if (alignment() & Qt::AlignHCenter)
        scroll = (widthUsed - field_.width()) / 2;
    p.setFont(font());
    p.setPen(palette().color(QPalette::Text));
    p.setClipRect(field_);
    p.drawText(field_.left() - scroll + leftOverhang, baseline_, digits_);
}

bool Indicator::event(QEvent* event) {
    const bool taken = QSpinBox::event(event);
    // The picture of the box holds its background too, so nothing needs filling under it: a
    // new value repaints the control alone. Styles that round a spin box's corners clear this
    // when they polish one.
    if (event->type() == QEvent::Polish) setAttribute(Qt::WA_OpaquePaintEvent);
    return taken;
}

void Indicator::changeEvent(QEvent* event) {
    // A new look (palette, font, style, dimmed) needs a new picture of the box.
    box_ = QPixmap();
    QSpinBox::changeEvent(event);
    if (event->type() == QEvent::StyleChange) setAttribute(Qt::WA_OpaquePaintEvent);
}

void Indicator::resizeEvent(QResizeEvent* event) {
    box_ = QPixmap();
    QSpinBox::resizeEvent(event);
}

} // namespace panelsvc
