// The strip chart's trace put straight into an image: each segment a line one pixel wide
// between whole pixels, its pixels depending on its two ends alone, so that a part of the chart
// drawn alone is pixel for pixel what drawing the whole trace puts there. The chart paints its
// new pictures this way into the image the window is painted into: a part of a picture is then
// a copy of rows and a few hundred pixels set, with no painter to set up.
#pragma once

#include "runtime/strip_trace.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QVector>

#include <vector>

namespace panelsvc {

// Whether `image` can be written to straight: 32 bits a pixel with opaque pixels in the same
// bits (RGB32, ARGB32, premultiplied ARGB32), one device pixel a pixel, not shared with a copy.
bool WritableImage(const QImage& image);

// A picture kept for copying parts of it back often: each different row once, so that a copy
// reads a few rows that stay in the cache rather than a row of a large picture for every row
// it writes (the rows of a plot area repeat: a plain row, a grid line's row).
class RowPicture {
public:
    // Keeps `area` of `picture` (32 bits a pixel).
    void take(const QImage& picture, const QRect& area);
    // Copies `part` (inside the area) into `image`, where the picture's pixel p is the image's
    // pixel p + shift.
    void copy(QImage& image, QPoint shift, const QRect& part) const;

private:
    QRect area_;
    QImage rows_;
    std::vector<int> rowOf_; // for each row of the area, its row in rows_
};

// Sets the pixels, inside `clip`, of the segments between successive drawn points of `points`
// to `color` (pixel p of the points' coordinates is the image's p + shift); inside `covered`,
// where `cover` (in the points' coordinates) has an opaque pixel, that pixel is set instead: what
// lies over the trace there.
void DrawSegments(QImage& image, QPoint shift, const std::vector<StripTrace::Pixel>& points,
                  QRgb color, const QRect& clip, const QImage* cover = nullptr,
                  const QVector<QRect>& covered = {});

} // namespace panelsvc
