// Seams of the panel service for tests and benchmarks: the widgets and chart data behind handles.
// (The file-dialog seam lives beside the dialog in dialogs.cpp.)
#include "runtime/testing.h"
#include "runtime/indicator.h"
#include "runtime/panel_internal.h"
#include "runtime/show_pace.h"
#include "runtime/strip_chart.h"
#include "runtime/widget_support.h"
#include "runtime/xy_graph.h"

using namespace panelsvc;

QWidget* PanelWidget(int panel) {
    Panel* p = FindPanel(panel);
    return p ? p->window.data() : nullptr;
}

void SetShowGapForTesting(int gapMs) {
    SetShowGap(gapMs);
}

QWidget* CtrlWidget(int panel, int control) {
    Control* c = FindControl(panel, control);
    return c ? c->widget.data() : nullptr;
}

std::vector<double> StripChartShownPoints(int panel, int control) {
    auto* chart = qobject_cast<StripChart*>(CtrlWidget(panel, control));
    return chart ? chart->shownPoints() : std::vector<double>{};
}

std::vector<double> StripChartDrawnPoints(int panel, int control) {
    auto* chart = qobject_cast<StripChart*>(CtrlWidget(panel, control));
    return chart ? chart->drawnPoints() : std::vector<double>{};
}

std::string IndicatorDrawnText(int panel, int control) {
    auto* indicator = qobject_cast<Indicator*>(CtrlWidget(panel, control));
    return indicator ? indicator->drawnText().toStdString() : std::string();
}

std::uint64_t StripChartPointsReceived(int panel, int control) {
    auto* chart = qobject_cast<StripChart*>(CtrlWidget(panel, control));
    return chart ? chart->receivedPoints() : 0;
}

int StripChartTraceColor(int panel, int control) {
    auto* chart = qobject_cast<StripChart*>(CtrlWidget(panel, control));
    return chart ? RgbFromColor(chart->traceColor()) : -1;
}

std::vector<GraphPlot> GraphPlots(int panel, int control) {
    std::vector<GraphPlot> out;
    auto* graph = qobject_cast<XYGraph*>(CtrlWidget(panel, control));
    if (!graph) return out;
    for (const XYPlotData& d : graph->plots()) {
        GraphPlot p;
        p.x = d.x;
        p.y = d.y;
        p.plotStyle = d.plotStyle;
        p.pointStyle = d.pointStyle;
        p.lineStyle = d.lineStyle;
        p.pointFrequency = d.pointFrequency;
        p.color = d.color;
        out.push_back(std::move(p));
    }
    return out;
}

void GraphAxisRange(int panel, int control, int axis, double* min, double* max) {
    auto* graph = qobject_cast<XYGraph*>(CtrlWidget(panel, control));
    if (!graph) return;
    graph->axisRange(axis, min, max);
}
