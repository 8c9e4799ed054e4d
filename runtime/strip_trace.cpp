#include "runtime/strip_trace.h"
#include "runtime/trace_raster.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace panelsvc {

namespace {

// Far enough outside any plot that the line drawing's own clip cuts it, near enough that a pixel
// coordinate stays a small whole number.
constexpr double kFarPixel = 1e6;

} // namespace

void StripTrace::setPoints(int first, std::vector<double> values) {
    first_ = first;
    values_ = std::move(values);
}

const std::vector<StripTrace::Pixel>& StripTrace::layOut() {
    pixels_.resize(values_.size());
    const QCPAxis* x = keyAxis();
    const QCPAxis* y = valueAxis();
    for (std::size_t i = 0; i < values_.size(); ++i) {
        Pixel& p = pixels_[i];
        p.position = first_ + static_cast<int>(i);
        p.x = qRound(std::clamp(x->coordToPixel(p.position), -kFarPixel, kFarPixel));
        p.drawn = std::isfinite(values_[i]);
        p.y = p.drawn ? qRound(std::clamp(y->coordToPixel(values_[i]), -kFarPixel, kFarPixel)) : 0;
    }
    return pixels_;
}

void StripTrace::draw(QCPPainter* painter) {
    layOut();
    drawPart(painter, clipRect().translated(0, -1)); // as the plot clips its layers
}

bool StripTrace::penDrawsAsPixels() const {
    const QPen p = pen();
    return p.style() == Qt::SolidLine && p.widthF() <= 1.0 && p.color().alpha() == 255 &&
           p.brush().style() == Qt::SolidPattern;
}

bool StripTrace::rasterized(const QCPPainter* painter) const {
    return penDrawsAsPixels() && !painter->testRenderHint(QPainter::Antialiasing) &&
           painter->transform().type() <= QTransform::TxTranslate &&
           !painter->modes().testFlag(QCPPainter::pmVectorized);
}

void StripTrace::drawPart(QCPPainter* painter, const QRect& area) {
    const std::vector<Pixel>& p = pixels_;
    applyDefaultAntialiasingHint(painter); // as the plot draws its layers
    if (rasterized(painter)) {
        // The trace's pixels over what lies beneath, as a picture of the part.
        QImage part(area.size(), QImage::Format_ARGB32_Premultiplied);
        part.fill(Qt::transparent);
        DrawSegments(part, -area.topLeft(), p, pen().color().rgba(), area, nullptr);
        painter->drawImage(area.topLeft(), part);
        return;
    }
    lines_.clear();
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        // A segment's pixels lie within the columns of its two ends.
        if (!p[i].drawn || !p[i + 1].drawn) continue;
        if (std::max(p[i].x, p[i + 1].x) < area.left() ||
            std::min(p[i].x, p[i + 1].x) > area.right())
            continue;
        lines_.emplace_back(p[i].x, p[i].y, p[i + 1].x, p[i + 1].y);
    }
    if (lines_.empty()) return;
    painter->save();
    painter->setClipRect(area, Qt::IntersectClip);
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    painter->drawLines(lines_.data(), static_cast<int>(lines_.size()));
    painter->restore();
}

} // namespace panelsvc
