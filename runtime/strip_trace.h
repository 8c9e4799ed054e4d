// The strip chart's trace, drawn by the chart's own painting (see StripChart::paintEvent): the
// whole of it when the plot draws itself, or only the segments that reach into a part of the
// chart. Every segment is a line of its own between whole pixels, as the plot has always drawn
// the trace, so its pixels depend on its two ends alone and a part drawn alone is pixel for
// pixel what drawing the whole trace puts there.
#pragma once

#include <qcustomplot.h>

#include <vector>

namespace panelsvc {

class StripTrace : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

    // The points shown: values[i] at screen position (x key) first + i. A value that is not a
    // finite number leaves a gap.
    void setPoints(int first, const std::vector<double>& values);

    // A point as drawn with the axes' current layout: its pixel, or drawn == false for a gap.
    struct Pixel {
        int position = 0;
        int x = 0, y = 0;
        bool drawn = false;
    };
    // Works out where the points are drawn (the plot does so whenever it draws itself).
    const std::vector<Pixel>& layOut();
    const std::vector<Pixel>& pixels() const { return pixels_; }

    // Draws, as laid out last, the segments that reach into columns first .. last; the
    // painter's clip must lie inside the plot's clip for the trace.
    void drawColumns(QCPPainter* painter, int first, int last);

protected:
    void draw(QCPPainter* painter) override;

private:
    int first_ = 0;
    std::vector<double> values_;
    std::vector<Pixel> pixels_;
    std::vector<QLine> lines_;
};

} // namespace panelsvc
