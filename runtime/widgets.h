// The panel service's own controls, created by the panel loader for the promoted classes that a
// panel description names (EvokStripChart, EvokXYGraph, EvokTimer, EvokLamp, EvokComRing,
// EvokPicture). Each reads its start settings from the dynamic properties the description gives
// it (see configure()); the panel service changes them later through the calls below.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <qcustomplot.h>

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

namespace panelsvc {

QColor ColorFromRgb(int rgb);
int RgbFromColor(const QColor& color);

// A QCustomPlot that paints itself straight onto the widget, in a paint queued through the
// widget system: no intermediate paint buffer that would be cleared, filled and blended onto
// the widget on every update. QCustomPlot's own replot() serves only the operator's zoom and pan.
//
// The operator may zoom with the mouse wheel and pan by dragging; a double-click goes back to the
// axis ranges the program set last, and the program's next plot or range setting wins over the
// operator's view as well. The context menu offers "Save picture..." (PNG or PDF, by the name's
// extension) and "Save data as CSV..." (the plotted points, see csvHeader()/csvRows()); both ask
// for the file through FileSelectPopup, so tests answer them through its seam. None of this
// raises a program event.
class DirectPlot : public QCustomPlot {
    Q_OBJECT
public:
    explicit DirectPlot(QWidget* parent = nullptr);

    QAction* savePictureAction() const { return savePicture_; }
    QAction* saveCsvAction() const { return saveCsv_; }
    // Write the picture (PNG, or PDF when the name ends in .pdf) at the chart's size, resp. the
    // plotted points as CSV: a header row naming the columns, then one row per point. Return
    // false and set error when the file cannot be written.
    bool savePicture(const QString& path, QString* error = nullptr);
    bool saveCsv(const QString& path, QString* error = nullptr) const;
    // Back to the axis ranges the program set last.
    virtual void restoreProgramRanges() = 0;

protected:
    virtual QStringList csvHeader() const = 0;
    virtual std::vector<std::vector<double>> csvRows() const = 0;
    // The file name the save dialogs propose, without extension.
    virtual QString exportName() const = 0;

    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    // Queue a repaint of the whole plot, or of part of it where only what is drawn inside the
    // axes changed (nothing that moves the axes, tick labels or title; the part is the whole plot
    // when something did since the last whole paint). A hidden plot is not painted; it is painted
    // whole when it is shown.
    void queueRepaint();
    void queuePartRepaint(const QRegion& part);
    // Since the last whole paint, something may have moved the axes, labels or title.
    bool layoutDirty() const { return layoutDirty_; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Asks for a file through FileSelectPopup and saves; a failure shows as a tool tip.
    void saveInteractively(bool picture);

    bool layoutDirty_ = true;
    QAction* savePicture_ = nullptr;
    QAction* saveCsv_ = nullptr;
};

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
    bool redrawQueued_ = false;
    bool picturesValid_ = false;
    QPixmap withoutTrace_, axesOnly_; // opaque; transparent but for the axes
    QVector<QRect> axisBands_;        // where the axes reach into the plot area

    std::deque<double> points_; // the newest points; points_.back() has sample number total_-1
    std::uint64_t total_ = 0;   // points appended since creation
    int pointsPerScreen_ = 100;
    int scrollMode_ = 1;
    int yAutoscale_ = 0;
    double yMin_ = 0.0, yMax_ = 1000.0;
    QCPGraph* trace_ = nullptr;
    QCPTextElement* title_ = nullptr;
};

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

// Timer control: invisible at run time; ticks every interval while enabled.
// Description properties: interval (double seconds, 0.1), timerEnabled (bool, true).
class TimerControl : public QWidget {
    Q_OBJECT
public:
    explicit TimerControl(QWidget* parent = nullptr);
    void configure();
    void setTicking(bool on);

signals:
    void tick();

private:
    QTimer timer_;
};

// Round indicator lamp: dark, lit, or blinking (lit half of every 0.5 s).
// Description properties: onColor (string "#rrggbb", green), lampState (int 0 dark, 1 lit,
// 2 blinking).
class Lamp : public QWidget {
    Q_OBJECT
public:
    enum State { kDark = 0, kLit = 1, kBlinking = 2 };
    explicit Lamp(QWidget* parent = nullptr);
    void configure();
    void setState(State state);
    State state() const { return state_; }
    bool litNow() const; // what the lamp shows at this moment
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    State state_ = kDark;
    bool phase_ = true;
    QColor onColor_{0x00, 0xC0, 0x00};
    QTimer blink_;
};

// Ring of serial ports 1..16 (item values 1..16), labelled with the device behind each number
// where there is one; the labels are refreshed whenever the list opens.
class ComPortRing : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kPorts = 16;
    explicit ComPortRing(QWidget* parent = nullptr);
    void refreshLabels();
    void showPopup() override;
};

// Gives a control that leaves some of its pixels unpainted (the rounded corners of a spin box) a
// background of exactly what lies behind it, which makes it opaque: a new value then repaints
// the control alone, not the panel and the group box behind it as well. The background is
// taken again whenever the control or its parent changes size, place or look. Owned by the
// control.
class OpaqueBackdrop : public QObject {
public:
    static void attach(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit OpaqueBackdrop(QWidget* control);
    void refresh();
    QWidget* control_;
    bool refreshing_ = false;
};

// Picture control: shows an image scaled to fit its area, keeping the aspect ratio.
class Picture : public QLabel {
    Q_OBJECT
public:
    explicit Picture(QWidget* parent = nullptr);
    void setImage(const QImage& image);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rescale();
    QImage image_;
};

} // namespace panelsvc
