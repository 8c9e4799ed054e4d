#pragma once

#include "runtime/direct_plot.h"
#include "runtime/trace_raster.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QVector>

#include <cstdint>
#include <deque>
#include <vector>

namespace panelsvc {

class StripTrace;

// Strip chart: one trace that scrolls. Every appended point gets the next running sample
// number as its x value; the chart shows the newest pointsPerScreen points.
//
// Description properties: pointsPerScreen (int, 100), yMin/yMax (double, 0/1000), scrollMode
// (int, 1), yAutoscale (int, 0), traceColor (string "#rrggbb"), title, xLabel, yLabel (string).
class StripChart : public DirectPlot {
    Q_OBJECT
public:
    explicit StripChart(QWidget* parent = nullptr);
    void configure();

    void appendPoints(const std::vector<double>& points);
    // 1 continuous scrolling (the newest point at the right edge); 0 page by page (the view jumps
    // one screen width when the trace reaches the right edge).
    void setScrollMode(int mode);
    int scrollMode() const { return scrollMode_; }
    // 1: the y axis widens beyond its configured range to include every shown point;
    // 0: the configured range holds and points outside it are cut off.
    void setYAutoscale(int on);
    int yAutoscale() const { return yAutoscale_; }
    void setPointsPerScreen(int points);
    int pointsPerScreen() const { return pointsPerScreen_; }
    void setTraceColor(const QColor& color);
    QColor traceColor() const;
    void setTitle(const QString& title);
    QString title() const;

    // The points on screen now, oldest first.
    std::vector<double> shownPoints() const;
    // The points its picture shows: those on screen when written values were last shown.
    const std::vector<double>& drawnPoints() const;
    // Points appended since the chart was created.
    std::uint64_t receivedPoints() const { return total_; }

    void restoreProgramRanges() override { redraw(); }

protected:
    // Columns "sample" (the position on the screen, as the x axis counts) and "value": the
    // points on screen now, oldest first.
    QStringList csvHeader() const override;
    std::vector<std::vector<double>> csvRows() const override;
    QString exportName() const override;

    // While the axes stay as they were, a new picture repaints only where the old or the new
    // trace runs, in slabs of a few segments each over the rows the trace takes there. A repaint
    // of part of the chart is built from two pictures taken once per layout: everything but the
    // trace, and the axes alone (they lie over the trace); the trace's segments that reach into
    // the part are drawn between the two. The grid and the axes are drawn anew only when a range
    // or the layout changes (a whole paint).
    void paintEvent(QPaintEvent* event) override;

private:
    void firstAndLastShown(std::uint64_t* first, std::uint64_t* end,
                           std::uint64_t* screenStart = nullptr) const;
    // Hands the shown points to the trace and queues what changes on screen (see paintEvent);
    // the whole chart when the axes moved.
    void redraw();
    // Queues the repaint of the trace as laid out now over the one drawn last.
    void queueTraceChange();
    void takePictures();
    // The parts of `region` to paint: the slabs queued for it (taken), or its own rectangles;
    // *exact: they make up the region and no more (none of them hidden in part).
    std::vector<QRect> takeParts(const QRegion& region, bool* exact);
    // Paints `parts` (none reaching beyond the paint's region) straight into the image the
    // window is painted into; false when that cannot be done (another kind of device, a scaled
    // one, a pen other than whole pixels).
    bool paintStraight(const std::vector<QRect>& parts);
    // What the pictures depend on beyond the look set through configure(); a whole paint after
    // a change of the look takes them again.
    struct PictureLayout {
        QSize size;
        QRect plot;
        QCPRange x, y;
        bool operator==(const PictureLayout& o) const {
            return size == o.size && plot == o.plot && x == o.x && y == o.y;
        }
    };
    PictureLayout currentLayout() const;
    bool picturesCurrent() const;
    QRect traceClip() const; // where the plot lets the trace show
    QRect reach() const;     // where the trace's pixels can be

    std::vector<int> drawnRows_; // the trace drawn last: its pixel row by screen position
    std::vector<int> rows_;      // ... and as laid out now
    bool drawnKnown_ = false;    // ... and whether that is known
    std::vector<QRect> slabs_;   // queued for the next paint, and all of them together
    QRegion slabRegion_;
    bool picturesValid_ = false;
    PictureLayout picturesLayout_;
    QImage withoutTrace_, axesOnly_; // opaque; transparent but for the axes
    QVector<QRect> axisBands_;       // where the axes reach into the plot area
    bool coverOpaque_ = false;       // axesOnly_ is opaque or clear in the trace's clip
    RowPicture background_;          // withoutTrace_ in the trace's clip, each row once

    std::deque<double> points_; // the newest points; points_.back() has sample number total_-1
    std::uint64_t total_ = 0;   // points appended since creation
    int pointsPerScreen_ = 100;
    int scrollMode_ = 1;
    int yAutoscale_ = 0;
    double yMin_ = 0.0, yMax_ = 1000.0;
    StripTrace* trace_ = nullptr;
    QCPTextElement* title_ = nullptr;
};

} // namespace panelsvc
