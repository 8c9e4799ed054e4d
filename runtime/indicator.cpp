#include "runtime/indicator.h"
#include "runtime/show_pace.h"
#include "runtime/trace_raster.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGlyphRun>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionSpinBox>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace panelsvc {

namespace {

// A line edit keeps this many pixels between its text and its left and right edges.
constexpr int kTextMargin = 2;

// Indicators whose spin box is behind what they show, brought in step together by one timer once
// their writes have paused for kBoxLagMs: a live view writes them many times a second, and
// setting a spin box's value formats and lays out its text and repaints all of it.
std::vector<QPointer<Indicator>> behind;
QElapsedTimer sinceWritten;

void SettleBehind() {
    const std::vector<QPointer<Indicator>> due = std::move(behind);
    behind.clear();
    for (const QPointer<Indicator>& i : due)
        if (i) i->settle();
}

void SettleLater(Indicator* indicator) {
    static QTimer* lag = [] {
        auto* timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, [timer] {
            const qint64 quiet = sinceWritten.elapsed();
            if (quiet >= Indicator::kBoxLagMs)
                SettleBehind();
            else // written since the timer started: once more, for the rest of the pause
                timer->start(static_cast<int>(Indicator::kBoxLagMs - quiet));
        });
        return timer;
    }();
    sinceWritten.start();
    if (std::find(behind.begin(), behind.end(), indicator) == behind.end())
        behind.emplace_back(indicator);
    if (!lag->isActive()) lag->start(Indicator::kBoxLagMs);
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
    // A control not painted yet, or since its look changed (one that is never shown), writes
    // and lays out its text with the box.
    if (box_.isNull()) {
        update();
        return;
    }
    digits_ = textOf(value);
    placeDigits();
    update(field_);
}

QString Indicator::textOf(int value) const {
    if (value == minimum() && !specialValueText().isEmpty()) return specialValueText();
    return prefix() + formatted(value) + suffix();
}

QString Indicator::formatted(int value) const {
    if (!plainDigits_) return textFromValue(value);
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QString::fromLatin1(text, static_cast<qsizetype>(end - text));
}

void Indicator::takeBox() {
    // Where the spin box writes a number as plain digits (and a minus), they are written
    // without asking the locale every time.
    plainDigits_ = true;
    for (int probe : {0, 7, 42, -42, 65535, -1234567, 1234567890}) {
        char text[16];
        const auto end = std::to_chars(text, text + sizeof text, probe).ptr;
        plainDigits_ = plainDigits_ && textFromValue(probe) ==
                                           QLatin1String(text, static_cast<qsizetype>(end - text));
    }
    digits_ = textOf(shown_);
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
    rawFont_ = QRawFont::fromFont(font());
    glyphs_ = {};
    p.end();
    // Opaque as it mostly is (the control's background is what lies behind it), the picture is
    // kept without an alpha channel: drawing it is then a plain copy.
    const QImage picture = box_.toImage();
    bool opaque = true;
    for (int y = 0; y < picture.height() && opaque; ++y)
        for (int x = 0; x < picture.width() && opaque; ++x)
            opaque = qAlpha(picture.pixel(x, y)) == 255;
    opaqueBox_ = QImage();
    if (opaque) {
        opaqueBox_ = picture.convertToFormat(QImage::Format_RGB32);
        box_ = QPixmap::fromImage(opaqueBox_);
        box_.setDevicePixelRatio(ratio);
    }
    // A new look: whether its digits can be put straight is found out again.
    cells_.clear();
    straight_ = Straight::Unknown;
    straightTries_ = 0;
    placeDigits();
}

const Indicator::Glyph* Indicator::glyphOf(QChar c) {
    if (c.unicode() < 32 || c.unicode() >= 32 + glyphs_.size()) return nullptr;
    Glyph& g = glyphs_[c.unicode() - 32];
    if (!g.known) {
        const QFontMetricsF metrics(font());
        g.advance = metrics.horizontalAdvance(c);
        g.leftBearing = metrics.leftBearing(c);
        g.rightBearing = metrics.rightBearing(c);
        const QList<quint32> index = rawFont_.glyphIndexesForString(QString(c));
        g.drawable = rawFont_.isValid() && index.size() == 1 && index.front() != 0;
        if (g.drawable) {
            g.index = index.front();
            const QList<QPointF> advance = rawFont_.advancesForGlyphIndexes(index);
            g.layoutAdvance = advance.isEmpty() ? 0 : advance.front().x();
        }
        g.known = true;
    }
    return &g;
}

void Indicator::placeDigits() {
    // The digits where the line edit would put them, placed the way it places a line that fits
    // (room for its cursor and the font's overhangs included). A number's advance is its
    // characters' advances: digits are not kerned. The glyphs of a text in digits and signs are
    // placed from their advances once, so that a paint draws them without laying out the text.
    qreal advance = 0, glyphX = 0;
    glyphIndexes_.clear();
    glyphPositions_.clear();
    bool glyphs = true;
    for (QChar c : digits_) {
        const Glyph* g = glyphOf(c);
        if (!g) {
            glyphs = false;
            advance += QFontMetricsF(font()).horizontalAdvance(c);
            continue;
        }
        glyphs = glyphs && g->drawable;
        if (glyphs) {
            glyphIndexes_.push_back(g->index);
            glyphPositions_.push_back(QPointF(glyphX, 0.0));
            glyphX += g->layoutAdvance;
        }
        advance += g->advance;
    }
    if (!glyphs) glyphIndexes_.clear();
    const auto bearing = [&](QChar c, bool left) {
        if (const Glyph* g = glyphOf(c)) return left ? g->leftBearing : g->rightBearing;
        const QFontMetricsF metrics(font()); // only for a character without a glyph kept
        return left ? metrics.leftBearing(c) : metrics.rightBearing(c);
    };
    const int leftOverhang =
        digits_.isEmpty() ? 0 : std::max(0, -qRound(bearing(digits_.front(), true)));
    const int rightOverhang =
        digits_.isEmpty() ? 0 : std::max(0, -qRound(bearing(digits_.back(), false)));
    const int widthUsed = qRound(advance) + 1 + rightOverhang;
    int scroll = 0;
    if (alignment() & Qt::AlignRight)
        scroll = widthUsed - field_.width() + 1;
    else if (alignment() & Qt::AlignHCenter)
        scroll = (widthUsed - field_.width()) / 2;
    digitsX_ = field_.left() - scroll + leftOverhang;
}

void Indicator::paintEvent(QPaintEvent* event) {
    if (box_.isNull() || box_.size() != size() * devicePixelRatioF()) takeBox();
    if (straight_ == Straight::Same && paintStraight(event)) return;
    {
        QPainter p(this);
        // A new value repaints the field alone; the box's picture is opaque, so it is a plain
        // copy.
        const QRect part = event->rect();
        const qreal ratio = box_.devicePixelRatio();
        p.drawPixmap(QRectF(part), box_,
                     QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
        p.setPen(palette().color(QPalette::Text));
        if (!field_.contains(part)) p.setClipRect(field_);
        if (!glyphIndexes_.isEmpty()) {
            QGlyphRun run;
            run.setRawFont(rawFont_);
            run.setGlyphIndexes(glyphIndexes_);
            run.setPositions(glyphPositions_);
            p.drawGlyphRun(QPointF(digitsX_, baseline_), run);
        } else {
            p.setFont(font());
            p.drawText(digitsX_, baseline_, digits_);
        }
    }
    if (straight_ == Straight::Unknown) checkStraight(event);
}

QImage* Indicator::straightTarget(QPaintEvent* event, QPoint* shift) const {
    QPoint offset;
    QPaintDevice* device = sharedPainter() ? nullptr : redirected(&offset);
    if (!device || device->devType() != QInternal::Image || devicePixelRatioF() != 1.0 ||
        event->region().rectCount() != 1)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    if (!WritableImage(*image)) return nullptr;
    *shift = -offset;
    return image;
}

bool Indicator::paintStraight(QPaintEvent* event) {
    QPoint shift;
    QImage* image = straightTarget(event, &shift);
    if (!image || glyphIndexes_.isEmpty() || image->format() != cells_.format()) return false;
    const QRect part = event->rect();
    return cells_.compose(*image, shift, part, part & field_, QPointF(digitsX_, baseline_),
                          glyphIndexes_, glyphPositions_);
}

void Indicator::checkStraight(QPaintEvent* event) {
    // What the painter has just drawn against the digits put together from single glyphs. Other
    // pixels: this screen draws or blends glyphs otherwise, and the painter stays for this look.
    // The same pixels for glyphs side by side (or for kTries texts of one glyph): the next
    // paints go straight. A text whose glyphs touch cannot be put together; after kTries such
    // texts the painter stays too. So the check runs for a few paints a look, no more.
    constexpr int kTries = 3;
    QPoint shift;
    QImage* image = straightTarget(event, &shift);
    if (!image || opaqueBox_.isNull() || glyphIndexes_.isEmpty()) return;
    if (!cells_.ready() || cells_.format() != image->format())
        cells_.reset(opaqueBox_, image->format(), rawFont_, palette().color(QPalette::Text));
    const QRect part = event->rect();
    if (!image->rect().contains(part.translated(shift)) || !rect().contains(part)) return;
    QImage composed(size(), image->format());
    const bool tried = ++straightTries_ >= kTries;
    if (!cells_.compose(composed, QPoint(0, 0), part, part & field_, QPointF(digitsX_, baseline_),
                        glyphIndexes_, glyphPositions_)) {
        if (tried) straight_ = Straight::Different;
        return;
    }
    const std::size_t bytes = static_cast<std::size_t>(part.width()) * sizeof(QRgb);
    for (int y = part.top(); y <= part.bottom(); ++y)
        if (std::memcmp(reinterpret_cast<const QRgb*>(composed.constScanLine(y)) + part.left(),
                        reinterpret_cast<const QRgb*>(image->constScanLine(y + shift.y())) +
                            part.left() + shift.x(),
                        bytes) != 0) {
            straight_ = Straight::Different;
            return;
        }
    if (glyphIndexes_.size() > 1 || tried) straight_ = Straight::Same;
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
