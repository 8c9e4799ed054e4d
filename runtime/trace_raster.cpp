#include "runtime/trace_raster.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace panelsvc {

namespace {

// How many rows ahead a row copy asks for the rows it writes.
constexpr int kRowsAhead = 32;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return q * b > a ? q - 1 : q;
}

} // namespace

// Calls set(x, y) for every pixel inside `area` of the segments between successive drawn points.
template <typename Set>
void ForEachPixel(const std::vector<StripTrace::Pixel>& points, const QRect& area, Set set) {
    // Points left to right (an axis not reversed): only the segments whose columns meet the
    // area's.
    const bool rightward = points.empty() || points.front().x <= points.back().x;
    std::size_t i = 0;
    if (rightward) {
        const auto reaching =
            std::lower_bound(points.begin(), points.end(), area.left(),
                             [](const StripTrace::Pixel& p, int left) { return p.x < left; });
        if (reaching != points.begin()) i = static_cast<std::size_t>(reaching - points.begin()) - 1;
    }
    for (; i + 1 < points.size() && (!rightward || points[i].x <= area.right()); ++i) {
        const StripTrace::Pixel& a = points[i];
        const StripTrace::Pixel& b = points[i + 1];
        if (!a.drawn || !b.drawn) continue;
        if (std::max(a.x, b.x) < area.left() || std::min(a.x, b.x) > area.right() ||
            std::max(a.y, b.y) < area.top() || std::min(a.y, b.y) > area.bottom())
            continue;
        // One pixel for each step along the longer axis, the other coordinate rounded from
        // the exact line: any stretch of the segment is the same pixels, worked out alone.
        const std::int64_t dx = b.x - a.x, dy = b.y - a.y;
        const bool alongX = std::abs(dx) >= std::abs(dy);
        const std::int64_t steps = std::max(std::abs(dx), std::abs(dy));
        if (steps == 0) {
            if (area.contains(a.x, a.y)) set(a.x, a.y);
            continue;
        }
        // The steps whose major coordinate lies within the area.
        const int from = alongX ? area.left() : area.top();
        const int to = alongX ? area.right() : area.bottom();
        const int start = alongX ? a.x : a.y;
        const int sign = (alongX ? dx : dy) < 0 ? -1 : 1;
        const std::int64_t first = std::max<std::int64_t>(sign > 0 ? from - start : start - to, 0);
        const std::int64_t last =
            std::min<std::int64_t>(sign > 0 ? to - start : start - from, steps);
        if (first > last) continue;
        // The minor coordinate of step t is floor((2 t d + steps) / (2 steps)), the exact line
        // rounded. It is kept as quotient and remainder from step to step: |2 d| <= 2 steps, so
        // a step moves it by one at most.
        const std::int64_t d = alongX ? dy : dx;
        const std::int64_t den = 2 * steps;
        std::int64_t q = FloorDiv(2 * first * d + steps, den);
        std::int64_t r = 2 * first * d + steps - q * den;
        const int minorStart = alongX ? a.y : a.x;
        const int minorLow = alongX ? area.top() : area.left();
        const int minorHigh = alongX ? area.bottom() : area.right();
        for (std::int64_t t = first; t <= last; ++t) {
            const int major = start + sign * static_cast<int>(t);
            const int minor = minorStart + static_cast<int>(q);
            if (minor >= minorLow && minor <= minorHigh) {
                if (alongX)
                    set(major, minor);
                else
                    set(minor, major);
            }
            r += 2 * d;
            if (r >= den) {
                r -= den;
                ++q;
            } else if (r < 0) {
                r += den;
                --q;
            }
        }
    }
}

bool WritableImage(const QImage& image) {
    const QImage::Format f = image.format();
    return (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
            f == QImage::Format_ARGB32_Premultiplied) &&
           image.devicePixelRatio() == 1.0 && image.isDetached();
}

void RowPicture::take(const QImage& picture, const QRect& area) {
    area_ = area & picture.rect();
    const int width = std::max(area_.width(), 0);
    const std::size_t bytes = static_cast<std::size_t>(width) * sizeof(QRgb);
    std::vector<int> first; // the picture's row that each kept row comes from
    std::unordered_multimap<std::uint64_t, int> byHash;
    rowOf_.assign(static_cast<std::size_t>(std::max(area_.height(), 0)), 0);
    const auto row = [&](int y) {
        return reinterpret_cast<const QRgb*>(picture.constScanLine(y)) + area_.left();
    };
    for (int y = area_.top(); y <= area_.bottom(); ++y) {
        std::uint64_t hash = 14695981039346656037ull;
        for (int x = 0; x < width; ++x)
            hash = (hash ^ row(y)[x]) * 1099511628211ull;
        int kind = -1;
        const auto [from, to] = byHash.equal_range(hash);
        for (auto it = from; it != to && kind < 0; ++it)
            if (std::memcmp(row(first[it->second]), row(y), bytes) == 0) kind = it->second;
        if (kind < 0) {
            kind = static_cast<int>(first.size());
            first.push_back(y);
            byHash.emplace(hash, kind);
        }
        rowOf_[static_cast<std::size_t>(y - area_.top())] = kind;
    }
    rows_ = QImage(std::max(width, 1), std::max(static_cast<int>(first.size()), 1),
                   QImage::Format_RGB32);
    for (std::size_t i = 0; i < first.size(); ++i)
        std::memcpy(rows_.scanLine(static_cast<int>(i)), row(first[i]), bytes);
}

void RowPicture::copy(QImage& image, QPoint shift, const QRect& part) const {
    const QRect r = part & area_ & image.rect().translated(-shift);
    if (r.isEmpty()) return;
    const std::size_t bytes = static_cast<std::size_t>(r.width()) * sizeof(QRgb);
    uchar* bits = image.bits();
    const qsizetype line = image.bytesPerLine();
    const auto to = [&](int y) {
        return reinterpret_cast<char*>(bits + (y + shift.y()) * line) +
               (r.left() + shift.x()) * static_cast<qsizetype>(sizeof(QRgb));
    };
    // The image's rows are written a few rows after they are asked for: a picture comes after
    // the program has slept, when they are rarely in a cache, and their loads then overlap.
    const auto ask = [&](int y) {
        __builtin_prefetch(to(y), 1);
        __builtin_prefetch(to(y) + bytes - 1, 1);
    };
    for (int y = r.top(); y <= r.bottom() && y < r.top() + kRowsAhead; ++y)
        ask(y);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        if (y + kRowsAhead <= r.bottom()) ask(y + kRowsAhead);
        std::memcpy(to(y),
                    reinterpret_cast<const QRgb*>(
                        rows_.constScanLine(rowOf_[static_cast<std::size_t>(y - area_.top())])) +
                        (r.left() - area_.left()),
                    bytes);
    }
}

void DrawSegments(QImage& image, QPoint shift, const std::vector<StripTrace::Pixel>& points,
                  QRgb color, const QRect& clip, const QImage* cover,
                  const QVector<QRect>& covered) {
    const QRect area = clip & image.rect().translated(-shift);
    if (area.isEmpty()) return;
    uchar* bits = image.bits();
    const qsizetype line = image.bytesPerLine();
    QVector<QRect> under; // where something may lie over the trace, in this area
    if (cover)
        for (const QRect& c : covered)
            if (const QRect both = c & area & cover->rect(); !both.isEmpty()) under.append(both);
    ForEachPixel(points, area, [&](int x, int y) {
        QRgb pixel = color;
        // Read as const: a non-const list is asked to detach for every pixel (an empty one
        // reallocates each time).
        for (const QRect& c : std::as_const(under))
            if (c.contains(x, y)) {
                const QRgb over = reinterpret_cast<const QRgb*>(cover->constScanLine(y))[x];
                if (qAlpha(over) == 255) pixel = over;
                break;
            }
        reinterpret_cast<QRgb*>(bits + (y + shift.y()) * line)[x + shift.x()] = pixel;
    });
}

} // namespace panelsvc
