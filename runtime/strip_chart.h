#pragma once

#include "runtime/direct_plot.h"

#include <QPixmap>
#include <QRect>
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
    // Points appended since the chart was created.
    std::uint64_t receivedPoints() const { return total_; }

    void restoreProgramRanges() override { redraw(); }

protected:
    // Columns "sample" (the position on the screen, as the x axis counts) and "value": the
    // points on screen now, oldest first.
    QStringList csvHeader() const override;
    std::vector<std::vector<double>> csvRows() const override;
    QString exportName() const override;

    // While the axes stay as they were, a new point repaints only where the old and the new
    // trace run, from two pictures taken once per layout: everything but the trace, and the
    // axes alone (they lie over the trace); the trace itself is drawn between the two.
    void paintEvent(QPaintEvent* event) override;

private:
    void firstAndLastShown(std::uint64_t* first, std::uint64_t* end,
                           std::uint64_t* screenStart = nullptr) const;
    // Hands the shown points to the trace and queues a repaint: of where the old and the new
    // trace run when the axes stay as they were, else of the whole chart.
    void redraw();
    void takePictures();

    QRect traceBox_;          // where the trace was drawn last (widget pixels)
    bool traceKnown_ = false; // ... and whether that is known
    bool picturesValid_ = false;
    QPixmap withoutTrace_, axesOnly_; // opaque; transparent but for the axes
    QVector<QRect> axisBands_;        // where the axes reach into the plot area

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
