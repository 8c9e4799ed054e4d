// The strip chart's trace, able to draw itself alone: a new point repaints only the trace between
// the chart's two pictures (see StripChart::paintEvent), and laying out and drawing the whole plot
// for that costs several times the trace itself.
#pragma once

#include <qcustomplot.h>

namespace panelsvc {

class StripTrace : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

    // Draws the trace with the axes' last layout, clipped to the plot area as the plot would.
    void drawAlone(QCPPainter* painter) {
        painter->save();
        painter->setClipRect(clipRect().translated(0, -1));
        applyDefaultAntialiasingHint(painter);
        draw(painter);
        painter->restore();
    }
};

} // namespace panelsvc
