// The strip chart's trace, drawn by the chart's own painting (see StripChart::paintEvent): the
// whole of it when the plot draws itself, or only the segments that reach into a part of the
// chart. Every segment is a line of its own between whole pixels (trace_raster.h), so its pixels
// depend on its two ends alone and a part drawn alone is pixel for pixel what drawing the whole
// trace puts there. A pen that such lines cannot draw (wider, dashed, see-through), a scaled or
// vector output (an exported picture) get the painter's own lines.
#pragma once

#include <qcustomplot.h>

#include <vector>

namespace panelsvc {

class StripTrace : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

    // The points shown: values[i] at screen position (x key) first + i. A value that is not a
    // finite number leaves a gap.
    void setPoints(int first, std::vector<double> values);
    const std::vector<double>& points() const { return values_; }

    // A point as drawn with the axes' current layout: its pixel, or drawn == false for a gap.
    struct Pixel {
        int position = 0;
        int x = 0, y = 0;
        bool drawn = false;
    };
    // Works out where the points are drawn (the plot does so whenever it draws itself).
    const std::vector<Pixel>& layOut();
    const std::vector<Pixel>& pixels() const { return pixels_; }

    // Draws, as laid out last, what lies of the trace inside `area` (the plot's coordinates,
    // inside the plot's clip for the trace).
    void drawPart(QCPPainter* painter, const QRect& area);
    // Whether the pen is one that lines of single pixels (trace_raster.h) can draw.
    bool penDrawsAsPixels() const;
    bool antialiased() const { return mAntialiased; }

protected:
    void draw(QCPPainter* painter) override;

private:
    // Whether the trace is drawn as lines of single pixels by this painter.
    bool rasterized(const QCPPainter* painter) const;

    int first_ = 0;
    std::vector<double> values_;
    std::vector<Pixel> pixels_;
    std::vector<QLine> lines_;
};

} // namespace panelsvc
