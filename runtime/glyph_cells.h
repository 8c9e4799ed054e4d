// A run of glyphs put straight into an image over an opaque picture: each glyph's pixels are
// drawn by a painter once per glyph and place, and a run is then a copy of the picture's rows
// and of those pixels, with no painter to set up. An indicator's new value is drawn this way
// into the image the window is painted into.
#pragma once

#include "runtime/trace_raster.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRawFont>
#include <QRect>
#include <QRgb>

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

namespace panelsvc {

class GlyphCells {
public:
    // Forgets every cell: glyphs are drawn from now on over `picture` (opaque, 32 bits a pixel)
    // in `color`, from `font`, as a painter on an image of `format` draws them.
    void reset(const QImage& picture, QImage::Format format, const QRawFont& font, QColor color);
    // Forgets the picture: compose() does nothing until the next reset().
    void clear();
    bool ready() const { return !picture_.isNull(); }
    QImage::Format format() const { return picture_.format(); }

    // Puts `part` of the picture into `image` (the picture's pixel p is the image's p + shift),
    // with the glyphs of the run at `origin` over it, the glyphs only inside `clip`: pixel for
    // pixel what a painter draws there (the picture, then QPainter::drawGlyphRun clipped to
    // `clip`). False where that cannot be told from the glyphs drawn one by one (two glyphs
    // touch the same pixel, or a glyph leaves the picture); `image` may then be written in part
    // and is to be painted.
    bool compose(QImage& image, QPoint shift, const QRect& part, const QRect& clip, QPointF origin,
                 const QList<quint32>& glyphs, const QList<QPointF>& positions);

private:
    struct Cell {
        bool inside = true; // the glyph leaves the picture's pixels alone outside it
        std::vector<QPoint> at;
        std::vector<QRgb> pixel;
    };
    const Cell& cellFor(quint32 glyph, QPointF at);

    QImage picture_;  // in the image's format
    RowPicture rows_; // the same, for copying its parts
    QRawFont font_;
    QColor color_;
    std::map<std::tuple<quint32, double, double>, Cell> cells_;
    std::vector<std::uint32_t> stamp_; // per pixel: the compose() that last set it
    std::uint32_t composed_ = 0;
};

} // namespace panelsvc
