#include "runtime/strip_chart.h"
#include "runtime/show_pace.h"
#include "runtime/strip_trace.h"
#include "runtime/trace_raster.h"
#include "runtime/widget_support.h"

#include <QPaintEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace panelsvc {

namespace {
constexpr int kMinKeptPoints = 1024; // history kept beyond one screen, so a wider screen fills
constexpr int kMaxPointsPerScreen = 100000;
// Pixels around the trace's extent that its line (and rounding) may touch.
constexpr int kTraceMargin = 2;
// A new picture repaints the chart in slabs of this many segments, each over the rows where
// the old and the new trace run in it: where the trace moves by little, a slab is a few rows.
constexpr int kSlabSegments = 2;
// Neighbouring slabs are repainted as one rectangle while that covers at most this much more.
constexpr double kSlabMerge = 1.3;
// Slabs kept for the next paint at most.
constexpr std::size_t kMaxSlabs = 64;
// The row of a screen position without a point.
constexpr int kNotDrawn = std::numeric_limits<int>::min();

// The region of rectangles in a row, ordered by their left edges (neighbours may overlap),
// made in one go: a union rectangle by rectangle costs several times more.
QRegion SideBySide(const QRect* rects, std::size_t count) {
    std::vector<int> edges;
    for (std::size_t i = 0; i < count; ++i) {
        edges.push_back(rects[i].top());
        edges.push_back(rects[i].bottom() + 1);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    // Bands between successive edges, each the rectangles that cover it, left to right.
    std::vector<QRect> banded;
    for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
        const int top = edges[e], bottom = edges[e + 1] - 1;
        const std::size_t bandStart = banded.size();
        for (std::size_t i = 0; i < count; ++i) {
            const QRect& r = rects[i];
            if (r.top() > top || r.bottom() < bottom) continue;
            if (banded.size() > bandStart && banded.back().right() + 1 >= r.left())
                banded.back().setRight(std::max(banded.back().right(), r.right()));
            else
                banded.emplace_back(QPoint(r.left(), top), QPoint(r.right(), bottom));
        }
    }
    QRegion region;
    region.setRects(banded.data(), static_cast<int>(banded.size()));
    return region;
}

// Whether the plot draws the trace antialiased (the plot's settings override the trace's own).
bool Antialiased(const QCustomPlot* plot, const StripTrace* trace) {
    if (plot->notAntialiasedElements().testFlag(QCP::aePlottables)) return false;
    return plot->antialiasedElements().testFlag(QCP::aePlottables) || trace->antialiased();
}

// The pixel row of each screen position 0 .. span as laid out (kNotDrawn: no point there).
void RowsOf(const std::vector<StripTrace::Pixel>& pixels, int span, std::vector<int>* rows) {
    rows->assign(static_cast<std::size_t>(span) + 1, kNotDrawn);
    for (const StripTrace::Pixel& p : pixels)
        if (p.drawn && p.position >= 0 && p.position <= span) (*rows)[p.position] = p.y;
}

} // namespace

StripChart::StripChart(QWidget* parent) : DirectPlot(parent) {
    SetUpCheapPlot(this);
    trace_ = new StripTrace(xAxis, yAxis); // registers itself with the plot
    trace_->setPen(QPen(Qt::blue, 1));
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

const std::vector<double>& StripChart::drawnPoints() const {
    return trace_->points();
}

void StripChart::redraw() {
    std::uint64_t first, end, screenStart;
    firstAndLastShown(&first, &end, &screenStart);
    const std::uint64_t oldestKept = total_ - points_.size();
    std::vector<double> shown;
    shown.reserve(end - first);
    double lo = yMin_, hi = yMax_;
    for (std::uint64_t s = first; s < end; ++s) {
        const double v = points_[s - oldestKept];
        shown.push_back(v);
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    // x is the position on the screen, not the running sample number: the axis and its tick
    // labels stay the same from frame to frame, so the cached labels are reused.
    trace_->setPoints(static_cast<int>(first - screenStart), std::move(shown));
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
        drawnKnown_ = false;
        queueRepaint();
        return;
    }
    queueTraceChange();
}

QRect StripChart::traceClip() const {
    return xAxis->axisRect()->rect().translated(0, -1); // as the plot clips its layers
}

QRect StripChart::reach() const {
    // The trace clip and the pixels around it that the trace's line may touch.
    return traceClip().adjusted(-kTraceMargin, -kTraceMargin, kTraceMargin, kTraceMargin);
}

void StripChart::queueTraceChange() {
    if (!isVisible()) { // painted whole when shown
        drawnKnown_ = false;
        return;
    }
    const int span = std::max(pointsPerScreen_ - 1, 1);
    RowsOf(trace_->layOut(), span, &rows_);
    const QRect clip = traceClip();
    const std::size_t before = slabs_.size();
    if (!drawnKnown_) {
        slabs_.push_back(clip);
    } else {
        // Slabs of a few segments, left to right, each over the rows where the old or the new
        // trace runs in it; neighbours that leave little uncovered between them go together.
        QRect pending;
        const auto add = [&](const QRect& slab) {
            if (!slab.isEmpty()) slabs_.push_back(slab);
        };
        for (int first = 0; first < span; first += kSlabSegments) {
            const int last = std::min(first + kSlabSegments, span);
            int top = std::numeric_limits<int>::max(), bottom = std::numeric_limits<int>::min();
            bool same = true;
            for (int p = first; p <= last; ++p) {
                same = same && rows_[p] == drawnRows_[p];
                for (const int y : {rows_[p], drawnRows_[p]})
                    if (y != kNotDrawn) {
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
            }
            if (same || top > bottom) continue;
            const QRect slab(
                QPoint(qRound(xAxis->coordToPixel(first)) - kTraceMargin, top - kTraceMargin),
                QPoint(qRound(xAxis->coordToPixel(last)) + kTraceMargin, bottom + kTraceMargin));
            const QRect both = pending | slab;
            if (!pending.isEmpty() && double(both.width()) * both.height() >
                                          kSlabMerge * (double(pending.width()) * pending.height() +
                                                        double(slab.width()) * slab.height())) {
                add(pending & clip);
                pending = slab;
            } else {
                pending = both;
            }
        }
        add(pending & clip);
    }
    const QRegion dirty = SideBySide(slabs_.data() + before, slabs_.size() - before);
    slabRegion_ = slabRegion_.isEmpty() ? dirty : slabRegion_ + dirty;
    if (slabs_.size() > kMaxSlabs) { // pictures not painted (a minimized window): one will do
        slabs_.assign(1, slabRegion_.boundingRect());
        slabRegion_ = slabs_.front();
    }
    queuePartRepaint(dirty);
    std::swap(drawnRows_, rows_);
    drawnKnown_ = true;
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
    const QRegion& region = event->region();
    if (layoutDirty() || !reach().contains(region.boundingRect())) {
        if (layoutDirty()) picturesValid_ = false; // the layout may change with this paint
        slabs_.clear();
        slabRegion_ = QRegion();
        DirectPlot::paintEvent(event);
        // What the next picture changes: the trace as this paint laid it out.
        if (!layoutDirty()) {
            RowsOf(trace_->pixels(), std::max(pointsPerScreen_ - 1, 1), &drawnRows_);
            drawnKnown_ = true;
        }
        return;
    }
    if (!picturesCurrent()) takePictures();
    bool exact = false;
    const std::vector<QRect> parts = takeParts(region, &exact);
    if (paintStraight(exact ? parts : std::vector<QRect>(region.begin(), region.end()))) return;
    QCPPainter painter(this);
    if (!painter.isActive()) return;
    const qreal ratio = withoutTrace_.devicePixelRatio();
    const auto copy = [&](const QRect& r, const QImage& picture) {
        painter.setClipRect(r); // a copy within one rectangle is the fastest there is
        painter.drawImage(QRectF(r), picture,
                          QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
    };
    // First what lies beneath the trace everywhere, then the trace, then the axes over it.
    for (const QRect& r : parts)
        copy(r, withoutTrace_);
    const QRect clip = traceClip();
    for (const QRect& r : parts) {
        painter.setClipRect(r & clip);
        trace_->drawPart(&painter, r & clip); // as laid out last
    }
    for (const QRect& r : parts)
        for (const QRect& band : axisBands_)
            if (const QRect both = band & r; !both.isEmpty()) copy(both, axesOnly_);
}

std::vector<QRect> StripChart::takeParts(const QRegion& region, bool* exact) {
    // The slabs queued since the last paint, when they are what is to be painted; else the
    // region's own rectangles.
    std::vector<QRect> parts;
    if ((region - slabRegion_).isEmpty()) {
        for (const QRect& slab : slabs_)
            if (slab.intersects(region.boundingRect())) parts.push_back(slab);
        *exact = (slabRegion_ - region).isEmpty();
    } else {
        parts.assign(region.begin(), region.end());
        *exact = true;
    }
    slabs_.clear();
    slabRegion_ = QRegion();
    return parts;
}

bool StripChart::paintStraight(const std::vector<QRect>& parts) {
    // Where the window is painted into an image of this program's (the backing store of a
    // window on a raster platform), the part is put there straight: the background's rows
    // copied, the trace's pixels set (those under an axis line take the axis's pixel).
    QPoint offset;
    QPaintDevice* device = sharedPainter() ? nullptr : redirected(&offset);
    if (!device || device->devType() != QInternal::Image || !coverOpaque_ ||
        devicePixelRatioF() != 1.0 || withoutTrace_.devicePixelRatio() != 1.0)
        return false;
    auto* image = static_cast<QImage*>(device);
    if (!WritableImage(*image) || !trace_->penDrawsAsPixels() || Antialiased(this, trace_))
        return false;
    const QPoint shift = -offset; // the painter's own redirection: the image's pixel of ours
    const QRect clip = traceClip();
    for (const QRect& r : parts)
        background_.copy(*image, shift, r);
    for (const QRect& r : parts)
        DrawSegments(*image, shift, trace_->pixels(), trace_->pen().color().rgba(), r & clip,
                     &axesOnly_, axisBands_);
    return true;
}

void StripChart::takePictures() {
    const qreal ratio = devicePixelRatioF();
    withoutTrace_ = QImage(size() * ratio, QImage::Format_RGB32);
    withoutTrace_.setDevicePixelRatio(ratio);
    withoutTrace_.fill(mBackgroundBrush.style() == Qt::SolidPattern ? mBackgroundBrush.color()
                                                                    : QColor(Qt::white));
    axesOnly_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
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
    // Over the trace the axes are lines of whole pixels: a trace pixel under one takes the
    // line's pixel (else the parts are painted with the painter, which blends).
    coverOpaque_ = true;
    const QRect clip = traceClip() & axesOnly_.rect();
    for (int y = clip.top(); y <= clip.bottom() && coverOpaque_; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(axesOnly_.constScanLine(y));
        for (int x = clip.left(); x <= clip.right() && coverOpaque_; ++x)
            coverOpaque_ = qAlpha(row[x]) == 0 || qAlpha(row[x]) == 255;
    }
    background_.take(withoutTrace_, traceClip());
    picturesValid_ = true;
    picturesLayout_ = currentLayout();
}

StripChart::PictureLayout StripChart::currentLayout() const {
    return {size(), xAxis->axisRect()->rect(), xAxis->range(), yAxis->range()};
}

bool StripChart::picturesCurrent() const {
    return picturesValid_ && picturesLayout_ == currentLayout();
}

} // namespace panelsvc
