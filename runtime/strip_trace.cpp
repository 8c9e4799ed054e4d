#include "runtime/strip_trace.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace panelsvc {

namespace {

// Far enough outside any plot that the line drawing's own clip cuts it, near enough that a pixel
// coordinate stays a small whole number.
constexpr double kFarPixel = 1e6;

} // namespace

void StripTrace::setPoints(int first, const std::vector<double>& values) {
    first_ = first;
    values_ = values;
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
    drawColumns(painter, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

void StripTrace::drawColumns(QCPPainter* painter, int first, int last) {
    const std::vector<Pixel>& p = pixels_;
    lines_.clear();
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        // A segment's pixels lie within the columns of its two ends.
        if (!p[i].drawn || !p[i + 1].drawn) continue;
        if (std::max(p[i].x, p[i + 1].x) < first || std::min(p[i].x, p[i + 1].x) > last) continue;
        lines_.emplace_back(p[i].x, p[i].y, p[i + 1].x, p[i + 1].y);
    }
    if (lines_.empty()) return;
    applyDefaultAntialiasingHint(painter);
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    painter->drawLines(lines_.data(), static_cast<int>(lines_.size()));
}

} // namespace panelsvc
