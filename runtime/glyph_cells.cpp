#include "runtime/glyph_cells.h"

#include <QGlyphRun>
#include <QPainter>

#include <algorithm>

namespace panelsvc {

namespace {

// Cells kept before they are all forgotten (a run of values far apart in a large font).
constexpr std::size_t kMaxCells = 512;

} // namespace

void GlyphCells::reset(const QImage& picture, QImage::Format format, const QRawFont& font,
                       QColor color) {
    picture_ = picture.convertToFormat(format);
    rows_.take(picture_, picture_.rect());
    font_ = font;
    color_ = color;
    cells_.clear();
    stamp_.assign(static_cast<std::size_t>(picture_.width()) * picture_.height(), 0);
    composed_ = 0;
}

void GlyphCells::clear() {
    picture_ = QImage();
    cells_.clear();
    stamp_.clear();
}

const GlyphCells::Cell& GlyphCells::cellFor(quint32 glyph, QPointF at) {
    const auto key = std::make_tuple(glyph, at.x(), at.y());
    if (auto it = cells_.find(key); it != cells_.end()) return it->second;
    if (cells_.size() >= kMaxCells) cells_.clear();
    // The glyph drawn alone over the picture, as the painter of a paint event draws it; the
    // pixels it changed are the cell. A margin around the picture shows a glyph that reaches
    // out of it.
    constexpr int kMargin = 8;
    QImage drawn(picture_.size() + QSize(2 * kMargin, 2 * kMargin), picture_.format());
    drawn.fill(Qt::black);
    {
        QPainter p(&drawn);
        p.drawImage(kMargin, kMargin, picture_);
    }
    const QImage before = drawn.copy();
    {
        QPainter p(&drawn);
        p.setPen(color_);
        QGlyphRun run;
        run.setRawFont(font_);
        run.setGlyphIndexes({glyph});
        run.setPositions({QPointF(0, 0)});
        p.drawGlyphRun(at + QPointF(kMargin, kMargin), run);
    }
    Cell cell;
    const QRect inside = picture_.rect().translated(kMargin, kMargin);
    for (int y = 0; y < drawn.height(); ++y) {
        const auto* now = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        const auto* was = reinterpret_cast<const QRgb*>(before.constScanLine(y));
        for (int x = 0; x < drawn.width(); ++x) {
            if (now[x] == was[x]) continue;
            if (!inside.contains(x, y)) {
                cell.inside = false;
                continue;
            }
            cell.at.emplace_back(x - kMargin, y - kMargin);
            cell.pixel.push_back(now[x]);
        }
    }
    return cells_.emplace(key, std::move(cell)).first->second;
}

bool GlyphCells::compose(QImage& image, QPoint shift, const QRect& part, const QRect& clip,
                         QPointF origin, const QList<quint32>& glyphs,
                         const QList<QPointF>& positions) {
    if (!ready() || image.format() != picture_.format() || glyphs.size() != positions.size())
        return false;
    const QRect area = part & picture_.rect() & image.rect().translated(-shift);
    if (area != part) return false;
    rows_.copy(image, shift, area);
    uchar* bits = image.bits();
    const qsizetype line = image.bytesPerLine();
    if (++composed_ == 0) { // the stamps went round: start them again
        std::fill(stamp_.begin(), stamp_.end(), 0);
        composed_ = 1;
    }
    const QRect within = clip & area;
    const int width = picture_.width();
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const Cell& cell = cellFor(glyphs[i], origin + positions[i]);
        if (!cell.inside) return false;
        for (std::size_t k = 0; k < cell.at.size(); ++k) {
            const QPoint p = cell.at[k];
            if (!within.contains(p)) continue;
            std::uint32_t& stamp = stamp_[static_cast<std::size_t>(p.y()) * width + p.x()];
            if (stamp == composed_) return false; // two glyphs over one pixel: blended in order
            stamp = composed_;
            reinterpret_cast<QRgb*>(bits + (p.y() + shift.y()) * line)[p.x() + shift.x()] =
                cell.pixel[k];
        }
    }
    return true;
}

} // namespace panelsvc
