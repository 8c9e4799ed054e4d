#include "runtime/strip_chart.h"
#include "runtime/show_pace.h"
#include "runtime/strip_trace.h"
#include "runtime/widget_support.h"

#include <QPaintEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace panelsvc {

namespace {
constexpr int kMinKeptPoints = 1024; // history kept beyond one screen, so a wider screen fills
constexpr int kMaxPointsPerScreen = 100000;
// Pixels around the trace's extent that its line (and rounding) may touch.
constexpr int kTraceMargin = 2;
} // namespace

StripChart::StripChart(QWidget* parent) : DirectPlot(parent) {
    SetUpCheapPlot(this);
    trace_ = new StripTrace(xAxis, yAxis); // registers itself with the plot
    trace_->setPen(QPen(Qt::blue, 1));
    trace_->setAdaptiveSampling(false);
    xAxis->setRange(0, pointsPerScreen_ - 1);
    yAxis->setRange(yMin_, yMax_);
}

void StripChart::configure() {
    pointsPerScreen_ = std::clamp(Prop<int>(this, "pointsPerScreen", 100), 1, kMaxPointsPerScreen);
    yMin_ = Prop<double>(this, "yMin", 0.0);
    yMax_ = Prop<double>(this, "yMax", 1000.0);
    if (yMax_ <= yMin_) yMax_ = yMin_ + 1.0;
    scrollMode_ = Prop<int>(this, "scrollMode", 1) == 0 ? 0 : 1;
    yAutoscale_ = Prop<int>(this, "yAutoscale", 0) ? 1 : 0;
    trace_->setPen(QPen(ColorProp(this, "traceColor", Qt::blue), 1));
    const QString title = property("title").toString();
    if (!title.isEmpty()) setTitle(title);
    xAxis->setLabel(property("xLabel").toString());
    yAxis->setLabel(property("yLabel").toString());
    redraw();
    queueRepaint();
}

void StripChart::appendPoints(const std::vector<double>& points) {
    const std::size_t keep = std::max(pointsPerScreen_, kMinKeptPoints);
    for (double p : points) {
        points_.push_back(p);
        ++total_;
    }
    while (points_.size() > keep)
        points_.pop_front();
    // The trace takes the points when written values are next shown: the live loop appends
    // between taking a frame and asking for the next one, and should not be held up there.
    ShowSoon(this, [this] { redraw(); });
}

void StripChart::setScrollMode(int mode) {
    if (scrollMode_ == (mode == 0 ? 0 : 1)) return; // the live loop sets it before every update
    scrollMode_ = mode == 0 ? 0 : 1;
    redraw();
}

void StripChart::setYAutoscale(int on) {
    if (yAutoscale_ == (on ? 1 : 0)) return;
    yAutoscale_ = on ? 1 : 0;
    redraw();
}

void StripChart::setPointsPerScreen(int points) {
    points = std::clamp(points, 1, kMaxPointsPerScreen);
    if (pointsPerScreen_ == points) return;
    pointsPerScreen_ = points;
    redraw();
}

void StripChart::setTraceColor(const QColor& color) {
    QPen pen = trace_->pen();
    if (pen.color() == color) return;
    pen.setColor(color);
    trace_->setPen(pen);
    queueRepaint();
}

QColor StripChart::traceColor() const {
    return trace_->pen().color();
}

void StripChart::setTitle(const QString& title) {
    if (!title_) title_ = AddTitleRow(this, title);
    title_->setText(title);
    queueRepaint();
}

QString StripChart::title() const {
    return title_ ? title_->text() : QString();
}

void StripChart::firstAndLastShown(std::uint64_t* first, std::uint64_t* end,
                                   std::uint64_t* screenStart) const {
    const std::uint64_t pps = static_cast<std::uint64_t>(pointsPerScreen_);
    const std::uint64_t oldestKept = total_ - points_.size();
    std::uint64_t start;
    if (scrollMode_ == 1)
        start = total_ > pps ? total_ - pps : 0;
    else
        start = total_ == 0 ? 0 : (total_ - 1) / pps * pps;
    *first = std::max(start, oldestKept);
    *end = total_;
    if (screenStart) *screenStart = start;
}

std::vector<double> StripChart::shownPoints() const {
    std::uint64_t first, end;
    firstAndLastShown(&first, &end);
    const std::uint64_t oldestKept = total_ - points_.size();
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(end - first));
    for (std::uint64_t s = first; s < end; ++s)
        out.push_back(points_[s - oldestKept]);
    return out;
}

QStringList StripChart::csvHeader() const {
    return {QStringLiteral("sample"), QStringLiteral("value")};
}

std::vector<std::vector<double>> StripChart::csvRows() const {
    std::uint64_t first, end, screenStart;
    firstAndLastShown(&first, &end, &screenStart);
    const std::uint64_t oldestKept = total_ - points_.size();
    std::vector<std::vector<double>> rows;
    rows.reserve(static_cast<std::size_t>(end - first));
    for (std::uint64_t s = first; s < end; ++s)
        rows.push_back({static_cast<double>(s - screenStart), points_[s - oldestKept]});
    return rows;
}

QString StripChart::exportName() const {
    return title().isEmpty() ? QStringLiteral("strip chart") : title();
}

void StripChart::redraw() {
    std::uint64_t first, end, screenStart;
    firstAndLastShown(&first, &end, &screenStart);
    const std::uint64_t oldestKept = total_ - points_.size();
    QVector<double> keys, values;
    keys.reserve(static_cast<qsizetype>(end - first));
    values.reserve(keys.capacity());
    double lo = yMin_, hi = yMax_;
    double dataLo = std::numeric_limits<double>::infinity(), dataHi = -dataLo;
    // x is the position on the screen, not the running sample number: the axis and its tick
    // labels stay the same from frame to frame, so the cached labels are reused.
    for (std::uint64_t s = first; s < end; ++s) {
        const double v = points_[s - oldestKept];
        keys.push_back(static_cast<double>(s - screenStart));
        values.push_back(v);
        if (std::isfinite(v)) {
            dataLo = std::min(dataLo, v);
            dataHi = std::max(dataHi, v);
        }
    }
    lo = std::min(lo, dataLo);
    hi = std::max(hi, dataHi);
    trace_->setData(keys, values, true);
    const QCPRange xBefore = xAxis->range(), yBefore = yAxis->range();
    xAxis->setRange(0.0, static_cast<double>(std::max(pointsPerScreen_ - 1, 1)));
    if (yAutoscale_ && (lo < yMin_ || hi > yMax_)) {
        const double margin = (hi - lo) * 0.05;
        yAxis->setRange(lo < yMin_ ? lo - margin : lo, hi > yMax_ ? hi + margin : hi);
    } else {
        yAxis->setRange(yMin_, yMax_);
    }
    // New tick labels can move the plot area: then the whole chart is painted.
    if (xAxis->range() != xBefore || yAxis->range() != yBefore || layoutDirty()) {
        traceKnown_ = false;
        queueRepaint();
        return;
    }
    // Only where the old or the new trace runs do pixels change: the box around both. (Boxes
    // around bands of a few points cover less, but drawing the trace clipped to many boxes costs
    // more than it saves.)
    const QRect reach =
        axisRect()->rect().adjusted(-kTraceMargin, -kTraceMargin, kTraceMargin, kTraceMargin);
    QRect box;
    if (!keys.isEmpty() && dataLo <= dataHi) {
        const QPointF a(xAxis->coordToPixel(keys.front()), yAxis->coordToPixel(dataHi));
        const QPointF b(xAxis->coordToPixel(keys.back()), yAxis->coordToPixel(dataLo));
        box = QRectF(a, b).normalized().toAlignedRect().adjusted(-kTraceMargin, -kTraceMargin,
                                                                 kTraceMargin, kTraceMargin) &
              reach;
    }
    queuePartRepaint(traceKnown_ ? box | traceBox_ : reach);
    traceBox_ = box;
    traceKnown_ = true;
}

namespace {

// Within its scope, a plot draws as if some of its parts were not there, without moving
// anything: the plot area keeps its margins while axes are hidden.
class Without {
public:
    explicit Without(QCustomPlot* plot) : rect_(plot->axisRect()) {
        sides_ = rect_->autoMargins();
        const QMargins margins = rect_->margins();
        rect_->setAutoMargins(QCP::msNone);
        rect_->setMargins(margins);
    }
    ~Without() {
        for (auto it = hidden_.rbegin(); it != hidden_.rend(); ++it)
            it->first->setVisible(it->second);
        rect_->setAutoMargins(sides_);
    }
    Without(const Without&) = delete;
    Without& operator=(const Without&) = delete;
    void hide(QCPLayerable* part) {
        hidden_.emplace_back(part, part->visible());
        part->setVisible(false);
    }

private:
    QCPAxisRect* rect_;
    QCP::MarginSides sides_;
    std::vector<std::pair<QCPLayerable*, bool>> hidden_;
};

} // namespace

void StripChart::paintEvent(QPaintEvent* event) {
    const QRect part = event->rect();
    const QRect reach =
        axisRect()->rect().adjusted(-kTraceMargin, -kTraceMargin, kTraceMargin, kTraceMargin);
    if (layoutDirty() || event->region().rectCount() != 1 || !reach.contains(part)) {
        picturesValid_ = false; // the layout may change with this paint
        DirectPlot::paintEvent(event);
        return;
    }
    if (!picturesValid_) takePictures();
    QCPPainter painter(this);
    if (!painter.isActive()) return;
    const qreal ratio = withoutTrace_.devicePixelRatio();
    const auto copy = [&](const QRect& r, const QPixmap& picture) {
        painter.drawPixmap(QRectF(r), picture,
                           QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
    };
    copy(part, withoutTrace_);
    trace_->drawAlone(&painter); // the trace alone, with the axes' last layout
    for (const QRect& band : axisBands_)
        if (const QRect both = band & part; !both.isEmpty()) copy(both, axesOnly_);
}

void StripChart::takePictures() {
    const qreal ratio = devicePixelRatioF();
    withoutTrace_ = QPixmap(size() * ratio);
    withoutTrace_.setDevicePixelRatio(ratio);
    withoutTrace_.fill(mBackgroundBrush.style() == Qt::SolidPattern ? mBackgroundBrush.color()
                                                                    : QColor(Qt::white));
    axesOnly_ = QPixmap(size() * ratio);
    axesOnly_.setDevicePixelRatio(ratio);
    axesOnly_.fill(Qt::transparent);
    {
        Without without(this);
        without.hide(trace_);
        QCPPainter painter(&withoutTrace_);
        draw(&painter);
    }
    {
        Without without(this);
        without.hide(trace_);
        for (QCPAxis* axis : axisRect()->axes())
            without.hide(axis->grid());
        QCPPainter painter(&axesOnly_);
        draw(&painter);
    }
    // Axis lines and the ticks they carry into the plot area.
    axisBands_.clear();
    const QRect plot = axisRect()->rect();
    const int out = kTraceMargin + 1;
    for (QCPAxis* axis : axisRect()->axes()) {
        if (!axis->visible()) continue;
        const int in = std::max(axis->tickLengthIn(), axis->subTickLengthIn()) +
                       static_cast<int>(std::ceil(axis->basePen().widthF())) + kTraceMargin;
        switch (axis->axisType()) {
        case QCPAxis::atLeft:
            axisBands_.append(
                QRect(plot.left() - out, plot.top() - out, in + out, plot.height() + 2 * out));
            break;
        case QCPAxis::atRight:
            axisBands_.append(
                QRect(plot.right() - in + 1, plot.top() - out, in + out, plot.height() + 2 * out));
            break;
        case QCPAxis::atTop:
            axisBands_.append(
                QRect(plot.left() - out, plot.top() - out, plot.width() + 2 * out, in + out));
            break;
        case QCPAxis::atBottom:
            axisBands_.append(
                QRect(plot.left() - out, plot.bottom() - in + 1, plot.width() + 2 * out, in + out));
            break;
        }
    }
    picturesValid_ = true;
}

} // namespace panelsvc
