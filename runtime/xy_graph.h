#pragma once

#include "runtime/direct_plot.h"

#include <array>
#include <map>
#include <vector>

namespace panelsvc {

// One plot of the XY graph as the program handed it over.
struct XYPlotData {
    std::vector<double> x, y;
    int plotStyle = 0, pointStyle = 0, lineStyle = 0, pointFrequency = 1, color = 0;
};

// XY graph: any number of plots, two cursors, a label above the plot area and a cursor readout.
//
// Description properties: xMin/xMax/yMin/yMax (double), label, xLabel, yLabel (string),
// cursorStyle (int, 0), cursor1Color/cursor2Color (string "#rrggbb"), readoutMode (int, 0).
class XYGraph : public DirectPlot {
    Q_OBJECT
public:
    explicit XYGraph(QWidget* parent = nullptr);
    void configure();

    int addPlot(XYPlotData data);          // returns the plot handle, 1 or greater
    bool deletePlot(int handle);           // -1 deletes every plot; false: no such plot
    std::vector<XYPlotData> plots() const; // in the order drawn
    // axis 0 x, 1 left y; mode 0 manual min..max, 1 autoscale to the plots.
    bool setAxisScaling(int axis, int mode, double min, double max);
    void axisRange(int axis, double* min, double* max) const;

    static constexpr int kCursors = 2;
    bool setCursor(int cursor, double x, double y);
    bool cursor(int cursor, double* x, double* y) const;
    // 0 full crosshair, 1 small square, 2 small circle, 3 small plus, 4 small crosshair.
    bool setCursorStyle(int cursor, int style);
    int cursorStyle(int cursor) const;
    // 0 no readout, 1 cursor 1, 2 both cursors: their x and y in the plot area's top right corner.
    bool setReadoutMode(int mode);
    int readoutMode() const { return readoutMode_; }

    void setLabel(const QString& label);
    QString label() const;

    void restoreProgramRanges() override;

protected:
    // Columns "plot" (1, 2, ... in the order drawn), "x" and "y": every point of every plot.
    QStringList csvHeader() const override;
    std::vector<std::vector<double>> csvRows() const override;
    QString exportName() const override;

private:
    struct Plot {
        QCPCurve* curve = nullptr;
        XYPlotData data;
    };
    struct Cursor {
        QCPItemTracer* tracer = nullptr;
        double x = 0.0, y = 0.0;
        int style = 0;
    };
    void applyCursorStyle(Cursor& c);
    void updateReadout();
    // Sets the axes to the program's ranges: the manual ones it set, or the plots' extent on an
    // autoscaled axis.
    void applyProgramRanges();
    void redraw();

    std::map<int, Plot> plots_;
    int nextHandle_ = 1;
    std::array<Cursor, kCursors> cursors_;
    std::array<bool, 2> autoscale_{false, false};
    std::array<QCPRange, 2> manualRange_{QCPRange(1, 128), QCPRange(0, 1000)}; // x, y
    int readoutMode_ = 0;
    QCPTextElement* label_ = nullptr;
    QCPItemText* readout_ = nullptr;
};

} // namespace panelsvc
