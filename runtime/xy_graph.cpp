#include "runtime/xy_graph.h"
#include "runtime/widget_support.h"

#include <algorithm>

namespace panelsvc {

XYGraph::XYGraph(QWidget* parent) : DirectPlot(parent) {
    SetUpCheapPlot(this);
    label_ = AddTitleRow(this, QString());
    addLayer("cursors", layer("main"), QCustomPlot::limAbove);
    const QColor cursorColors[kCursors] = {QColor(0x00, 0x00, 0xC0), QColor(0xC0, 0x00, 0xC0)};
    for (int i = 0; i < kCursors; ++i) {
        Cursor& c = cursors_[static_cast<std::size_t>(i)];
        c.tracer = new QCPItemTracer(this);
        c.tracer->setLayer("cursors");
        c.tracer->setPen(QPen(cursorColors[i], 1));
        c.tracer->position->setCoords(c.x, c.y);
        applyCursorStyle(c);
    }
    readout_ = new QCPItemText(this);
    readout_->setLayer("cursors");
    readout_->position->setType(QCPItemPosition::ptAxisRectRatio);
    readout_->position->setCoords(0.99, 0.02);
    readout_->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
    readout_->setBrush(QBrush(QColor(255, 255, 255, 220)));
    readout_->setPadding(QMargins(4, 2, 4, 2));
    readout_->setVisible(false);
    xAxis->setRange(1, 128);
    yAxis->setRange(0, 1000);
}

void XYGraph::configure() {
    manualRange_[0] = QCPRange(Prop<double>(this, "xMin", 1.0), Prop<double>(this, "xMax", 128.0));
    manualRange_[1] = QCPRange(Prop<double>(this, "yMin", 0.0), Prop<double>(this, "yMax", 1000.0));
    applyProgramRanges();
    xAxis->setLabel(property("xLabel").toString());
    yAxis->setLabel(property("yLabel").toString());
    label_->setText(property("label").toString());
    const int style = Prop<int>(this, "cursorStyle", 0);
    const QColor colors[kCursors] = {
        ColorProp(this, "cursor1Color", cursors_[0].tracer->pen().color()),
        ColorProp(this, "cursor2Color", cursors_[1].tracer->pen().color())};
    for (int i = 0; i < kCursors; ++i) {
        cursors_[static_cast<std::size_t>(i)].tracer->setPen(QPen(colors[i], 1));
        setCursorStyle(i + 1, style);
    }
    setReadoutMode(Prop<int>(this, "readoutMode", 0));
    redraw();
}

int XYGraph::addPlot(XYPlotData data) {
    auto* curve = new QCPCurve(xAxis, yAxis);
    const QColor color = ColorFromRgb(data.color);
    Qt::PenStyle penStyle = Qt::SolidLine;
    switch (data.lineStyle) {
    case 1:
        penStyle = Qt::DashLine;
        break;
    case 2:
        penStyle = Qt::DotLine;
        break;
    case 3:
        penStyle = Qt::DashDotLine;
        break;
    default:
        break;
    }
    curve->setPen(QPen(color, 1, penStyle));
    if (data.plotStyle == 5) {
        curve->setLineStyle(QCPCurve::lsNone);
    } else {
        curve->setLineStyle(QCPCurve::lsLine);
    }
    if (data.plotStyle == 0) {
        curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    } else {
        curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, color, color, 4));
        curve->setScatterSkip(std::max(data.pointFrequency, 1) - 1);
    }
    curve->setData(QVector<double>(data.x.begin(), data.x.end()),
                   QVector<double>(data.y.begin(), data.y.end()));
    const int handle = nextHandle_++;
    plots_[handle] = Plot{curve, std::move(data)};
    applyProgramRanges();
    redraw();
    return handle;
}

bool XYGraph::deletePlot(int handle) {
    if (handle == -1) {
        for (auto& [h, p] : plots_)
            removePlottable(p.curve);
        plots_.clear();
    } else {
        auto it = plots_.find(handle);
        if (it == plots_.end()) return false;
        removePlottable(it->second.curve);
        plots_.erase(it);
    }
    applyProgramRanges();
    redraw();
    return true;
}

std::vector<XYPlotData> XYGraph::plots() const {
    std::vector<XYPlotData> out;
    for (const auto& [h, p] : plots_)
        out.push_back(p.data);
    return out;
}

bool XYGraph::setAxisScaling(int axis, int mode, double min, double max) {
    if (axis != 0 && axis != 1) return false;
    if (mode != 0 && mode != 1) return false;
    if (mode == 0 && !(max > min)) return false;
    autoscale_[static_cast<std::size_t>(axis)] = mode == 1;
    if (mode == 0) manualRange_[static_cast<std::size_t>(axis)] = QCPRange(min, max);
    applyProgramRanges();
    redraw();
    return true;
}

void XYGraph::axisRange(int axis, double* min, double* max) const {
    const QCPRange r = (axis == 0 ? xAxis : yAxis)->range();
    if (min) *min = r.lower;
    if (max) *max = r.upper;
}

bool XYGraph::setCursor(int cursor, double x, double y) {
    if (cursor < 1 || cursor > kCursors) return false;
    Cursor& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    c.x = x;
    c.y = y;
    c.tracer->position->setCoords(x, y);
    updateReadout();
    redraw();
    return true;
}

bool XYGraph::cursor(int cursor, double* x, double* y) const {
    if (cursor < 1 || cursor > kCursors) return false;
    const Cursor& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    if (x) *x = c.x;
    if (y) *y = c.y;
    return true;
}

bool XYGraph::setCursorStyle(int cursor, int style) {
    if (cursor < 1 || cursor > kCursors || style < 0 || style > 4) return false;
    Cursor& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    c.style = style;
    applyCursorStyle(c);
    redraw();
    return true;
}

int XYGraph::cursorStyle(int cursor) const {
    if (cursor < 1 || cursor > kCursors) return -1;
    return cursors_[static_cast<std::size_t>(cursor - 1)].style;
}

void XYGraph::applyCursorStyle(Cursor& c) {
    // Full crosshairs are thin lines; the small marks are drawn thicker to stand out of the data.
    QPen pen = c.tracer->pen();
    pen.setWidth(c.style == 0 ? 1 : 2);
    c.tracer->setPen(pen);
    switch (c.style) {
    case 0:
        c.tracer->setStyle(QCPItemTracer::tsCrosshair);
        break;
    case 1:
        c.tracer->setStyle(QCPItemTracer::tsSquare);
        c.tracer->setSize(9);
        break;
    case 2:
        c.tracer->setStyle(QCPItemTracer::tsCircle);
        c.tracer->setSize(9);
        break;
    case 3:
        c.tracer->setStyle(QCPItemTracer::tsPlus);
        c.tracer->setSize(9);
        break;
    default:
        c.tracer->setStyle(QCPItemTracer::tsPlus);
        c.tracer->setSize(25);
        break;
    }
}

bool XYGraph::setReadoutMode(int mode) {
    if (mode < 0 || mode > 2) return false;
    readoutMode_ = mode;
    updateReadout();
    redraw();
    return true;
}

void XYGraph::updateReadout() {
    if (readoutMode_ == 0) {
        readout_->setVisible(false);
        return;
    }
    QString text;
    for (int i = 0; i < readoutMode_; ++i) {
        const Cursor& c = cursors_[static_cast<std::size_t>(i)];
        if (i) text += QStringLiteral("    ");
        text += QStringLiteral("C%1  x %2  y %3")
                    .arg(i + 1)
                    .arg(QString::number(c.x, 'g', 6), QString::number(c.y, 'g', 6));
    }
    readout_->setText(text);
    readout_->setVisible(true);
}

void XYGraph::setLabel(const QString& label) {
    label_->setText(label);
    redraw();
}

QString XYGraph::label() const {
    return label_->text();
}

void XYGraph::applyProgramRanges() {
    for (std::size_t axis = 0; axis < 2; ++axis) {
        QCPAxis* a = axis == 0 ? xAxis : yAxis;
        if (!autoscale_[axis]) {
            a->setRange(manualRange_[axis]);
        } else if (!plots_.empty()) {
            a->rescale();
            manualRange_[axis] = a->range(); // kept while there is nothing to scale to
        } else {
            a->setRange(manualRange_[axis]);
        }
    }
}

void XYGraph::restoreProgramRanges() {
    applyProgramRanges();
    redraw();
}

QStringList XYGraph::csvHeader() const {
    return {QStringLiteral("plot"), QStringLiteral("x"), QStringLiteral("y")};
}

std::vector<std::vector<double>> XYGraph::csvRows() const {
    std::vector<std::vector<double>> rows;
    int number = 0;
    for (const auto& [handle, plot] : plots_) {
        ++number;
        const std::size_t n = std::min(plot.data.x.size(), plot.data.y.size());
        for (std::size_t i = 0; i < n; ++i)
            rows.push_back({static_cast<double>(number), plot.data.x[i], plot.data.y[i]});
    }
    return rows;
}

QString XYGraph::exportName() const {
    return label().isEmpty() ? QStringLiteral("graph") : label();
}

void XYGraph::redraw() {
    queueRepaint();
}

} // namespace panelsvc
