// Strip charts and the XY graph: what the program plots is what the chart shows.
#include "panel_test_support.h"

#include "runtime/widgets.h"

#include <array>
#include <numeric>

using namespace paneltest;
using namespace evok;

namespace {

class PanelCharts : public PanelFixture {
protected:
    // One update of the live loop: the three settings, then the whole history.
    void LiveUpdate(int chart, const double* history) {
        SetCtrlAttribute(main, chart, kAttrPointsPerScreen, 101);
        SetCtrlAttribute(main, chart, kAttrScrollMode, 1);
        SetCtrlAttribute(main, chart, kAttrStripAutoscale, 1);
        ASSERT_EQ(PlotStripChart(main, chart, history, 100, 0, 0, kTypeDouble), 0);
    }
};

std::vector<double> Range(double from, double to) {
    std::vector<double> v;
    for (double x = from; x <= to; ++x)
        v.push_back(x);
    return v;
}

TEST_F(PanelCharts, StripChartShowsTheNewest101PointsAfterAppendsOf100) {
    std::array<double, 100> history;
    for (int call = 0; call < 3; ++call) {
        std::iota(history.begin(), history.end(), call * 100.0);
        LiveUpdate(PANEL_STRIPCHART_RAW, history.data());
    }
    EXPECT_EQ(StripChartShownPoints(main, PANEL_STRIPCHART_RAW), Range(199, 299));
}

struct StripCase {
    const char* what;
    int pointsPerScreen;
    int scrollMode;
    int appends; // of 100 points 0.., 100.., ...
    double firstShown, lastShown;
};

TEST_F(PanelCharts, StripChartScreens) {
    const StripCase rows[] = {
        {"fewer points than a screen", 250, 1, 2, 0, 199},
        {"continuous, half a screen", 50, 1, 1, 50, 99},
        {"continuous, many screens", 101, 1, 30, 2899, 2999},
        {"page mode shows the current page", 120, 0, 3, 240, 299},
        {"page mode, page just full", 100, 0, 2, 100, 199},
    };
    for (const StripCase& row : rows) {
        SCOPED_TRACE(row.what);
        const int chart = LoadPanel(0, kPanelFile, PANEL);
        ASSERT_GE(chart, 0);
        SetCtrlAttribute(chart, PANEL_STRIPCHART_NORM, kAttrPointsPerScreen, row.pointsPerScreen);
        SetCtrlAttribute(chart, PANEL_STRIPCHART_NORM, kAttrScrollMode, row.scrollMode);
        std::array<double, 100> points;
        for (int i = 0; i < row.appends; ++i) {
            std::iota(points.begin(), points.end(), i * 100.0);
            PlotStripChart(chart, PANEL_STRIPCHART_NORM, points.data(), 100, 0, 0, kTypeDouble);
        }
        EXPECT_EQ(StripChartShownPoints(chart, PANEL_STRIPCHART_NORM),
                  Range(row.firstShown, row.lastShown));
        DiscardPanel(chart);
    }
}

TEST_F(PanelCharts, StripChartTakesOtherElementTypesStartAndSkip) {
    const unsigned short words[] = {10, 11, 12, 13, 14, 15};
    const unsigned int dwords[] = {70000, 1, 70001, 2, 70002};
    ASSERT_EQ(PlotStripChart(main, PANEL_STRIPCHART_RAW, words, 3, 1, 1, kTypeUShort), 0);
    ASSERT_EQ(PlotStripChart(main, PANEL_STRIPCHART_RAW, dwords, 3, 0, 1, kTypeUInt), 0);
    EXPECT_EQ(StripChartShownPoints(main, PANEL_STRIPCHART_RAW),
              (std::vector<double>{11, 13, 15, 70000, 70001, 70002}));
    EXPECT_EQ(PlotStripChart(main, PANEL_STRIPCHART_RAW, words, 3, 0, 0, 0), kPanelErrType);
    EXPECT_EQ(PlotStripChart(main, PANEL_STRIPCHART_RAW, words, -1, 0, 0, kTypeUShort),
              kPanelErrAttribute);
}

TEST_F(PanelCharts, StripChartMemoryStaysBounded) {
    std::array<double, 100> history{};
    for (int i = 0; i < 500; ++i)
        LiveUpdate(PANEL_STRIPCHART_RAW, history.data());
    auto* chart = qobject_cast<panelsvc::StripChart*>(Ctrl(main, PANEL_STRIPCHART_RAW));
    ASSERT_NE(chart, nullptr);
    EXPECT_LE(chart->storedPoints(), 1024u);
    EXPECT_EQ(chart->graph(0)->dataCount(), 101);
}

TEST_F(PanelCharts, TraceColourAndYAutoscale) {
    ASSERT_EQ(SetTraceAttribute(main, PANEL_STRIPCHART_RAW, 1, kAttrTraceColor, 0xFF0000), 0);
    EXPECT_EQ(StripChartTraceColor(main, PANEL_STRIPCHART_RAW), 0xFF0000);
    EXPECT_EQ(SetTraceAttribute(main, PANEL_STRIPCHART_RAW, 2, kAttrTraceColor, 0),
              kPanelErrAttribute);

    auto* chart = qobject_cast<panelsvc::StripChart*>(Ctrl(main, PANEL_STRIPCHART_RAW));
    ASSERT_NE(chart, nullptr);
    const double high[] = {200, 1500, 300};
    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrStripAutoscale, 0);
    PlotStripChart(main, PANEL_STRIPCHART_RAW, high, 3, 0, 0, kTypeDouble);
    EXPECT_DOUBLE_EQ(chart->yAxis->range().upper, 1000.0); // the range from the description
    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrStripAutoscale, 1);
    EXPECT_GE(chart->yAxis->range().upper, 1500.0);
    EXPECT_DOUBLE_EQ(chart->yAxis->range().lower, 0.0);
    int v = -1;
    GetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrStripAutoscale, &v);
    EXPECT_EQ(v, 1);
}

// The live loop updates a chart many times a second: updates are coalesced into one redraw.
TEST_F(PanelCharts, RedrawsAreQueuedAndCoalesced) {
    auto* chart = qobject_cast<QCustomPlot*>(Ctrl(main, PANEL_STRIPCHART_RAW));
    ASSERT_NE(chart, nullptr);
    Pump();
    int replots = 0;
    QObject::connect(chart, &QCustomPlot::afterReplot, chart, [&replots] { ++replots; });
    std::array<double, 100> history{};
    for (int i = 0; i < 10; ++i)
        LiveUpdate(PANEL_STRIPCHART_RAW, history.data());
    SetTraceAttribute(main, PANEL_STRIPCHART_RAW, 1, kAttrTraceColor, 0x0000FF);
    EXPECT_EQ(replots, 0);
    Pump();
    EXPECT_EQ(replots, 1);

    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrVisible, 0);
    SetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrVisible, 1);
    Pump();
    auto* graph = qobject_cast<QCustomPlot*>(Ctrl(main, PANEL_GRAPH_DATA));
    int graphReplots = 0;
    QObject::connect(graph, &QCustomPlot::afterReplot, graph, [&graphReplots] { ++graphReplots; });
    const unsigned short x[] = {0, 1, 2}, y[] = {5, 6, 7};
    DeleteGraphPlot(main, PANEL_GRAPH_DATA, -1, 1);
    for (int i = 0; i < 3; ++i)
        PlotXY(main, PANEL_GRAPH_DATA, x, y, 3, 6, 6, 0, 10, 0, 1, 0);
    SetGraphCursor(main, PANEL_GRAPH_DATA, 1, 1, 5);
    EXPECT_EQ(graphReplots, 0);
    Pump();
    EXPECT_EQ(graphReplots, 1);
}

// The live loop may go on feeding a hidden chart: it costs no redraw until the chart is shown.
TEST_F(PanelCharts, HiddenChartRedrawsOnlyWhenShownAgain) {
    auto* chart = qobject_cast<QCustomPlot*>(Ctrl(main, PANEL_STRIPCHART_RAW));
    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrVisible, 0);
    Pump();
    int replots = 0;
    QObject::connect(chart, &QCustomPlot::afterReplot, chart, [&replots] { ++replots; });
    std::array<double, 100> history;
    std::iota(history.begin(), history.end(), 0.0);
    for (int i = 0; i < 5; ++i)
        LiveUpdate(PANEL_STRIPCHART_RAW, history.data());
    Pump();
    EXPECT_EQ(replots, 0);
    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrVisible, 1);
    Pump();
    EXPECT_EQ(replots, 1);
    EXPECT_EQ(chart->graph(0)->dataCount(), 101);
    EXPECT_DOUBLE_EQ(chart->graph(0)->data()->at(100)->value, 99.0);
}

// ---------------------------------------------------------------------------------------------
// XY graph

TEST_F(PanelCharts, GraphStartsWithItsDescriptionRanges) {
    double min = -1, max = -1;
    GraphAxisRange(main, PANEL_GRAPH_DATA, 0, &min, &max);
    EXPECT_EQ(min, 1.0);
    EXPECT_EQ(max, 128.0);
    GraphAxisRange(main, PANEL_GRAPH_DATA, 1, &min, &max);
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 1000.0);
    EXPECT_TRUE(GraphPlots(main, PANEL_GRAPH_DATA).empty());
}

TEST_F(PanelCharts, GraphHoldsPlotsAndCursorsAcrossDeleteAndPlot) {
    unsigned short x[255], y[255], line[255];
    for (int i = 0; i < 255; ++i) {
        x[i] = static_cast<unsigned short>(i);
        y[i] = static_cast<unsigned short>(i % 128);
        line[i] = 40;
    }
    ASSERT_EQ(SetGraphCursor(main, PANEL_GRAPH_DATA, 1, 37.0, 786.0), 0);
    ASSERT_EQ(SetGraphCursor(main, PANEL_GRAPH_DATA, 2, 88.0, 338.0), 0);
    ASSERT_GE(PlotXY(main, PANEL_GRAPH_DATA, x, y, 128, 6, 6, 5, 10, 0, 1, 0x00FF00), 1);

    ASSERT_EQ(DeleteGraphPlot(main, PANEL_GRAPH_DATA, -1, 1), 0);
    EXPECT_TRUE(GraphPlots(main, PANEL_GRAPH_DATA).empty());
    ASSERT_EQ(SetAxisScalingMode(main, PANEL_GRAPH_DATA, 1, 0, 0.0, 128.0), 0);
    ASSERT_EQ(SetAxisScalingMode(main, PANEL_GRAPH_DATA, 0, 0, 0.0, 256.0), 0);
    const int h1 = PlotXY(main, PANEL_GRAPH_DATA, x, line, 255, 6, 6, 0, 10, 1, 1, 0);
    const int h2 = PlotXY(main, PANEL_GRAPH_DATA, x, y, 255, 6, 6, 5, 10, 0, 1, 0xFF0000);
    ASSERT_GE(h1, 1);
    ASSERT_GT(h2, h1);

    const std::vector<GraphPlot> plots = GraphPlots(main, PANEL_GRAPH_DATA);
    ASSERT_EQ(plots.size(), 2u);
    EXPECT_EQ(plots[0].y, std::vector<double>(255, 40.0));
    EXPECT_EQ(plots[0].plotStyle, 0);
    EXPECT_EQ(plots[0].lineStyle, 1);
    EXPECT_EQ(plots[0].color, 0);
    ASSERT_EQ(plots[1].x.size(), 255u);
    EXPECT_EQ(plots[1].x[254], 254.0);
    EXPECT_EQ(plots[1].y[200], 200 % 128);
    EXPECT_EQ(plots[1].plotStyle, 5);
    EXPECT_EQ(plots[1].pointStyle, 10);
    EXPECT_EQ(plots[1].color, 0xFF0000);

    double cx = 0, cy = 0;
    ASSERT_EQ(GetGraphCursor(main, PANEL_GRAPH_DATA, 1, &cx, &cy), 0);
    EXPECT_EQ(cx, 37.0);
    EXPECT_EQ(cy, 786.0);
    ASSERT_EQ(GetGraphCursor(main, PANEL_GRAPH_DATA, 2, &cx, &cy), 0);
    EXPECT_EQ(cx, 88.0);
    EXPECT_EQ(cy, 338.0);
    double min = 0, max = 0;
    GraphAxisRange(main, PANEL_GRAPH_DATA, 0, &min, &max);
    EXPECT_EQ(max, 256.0);
    GraphAxisRange(main, PANEL_GRAPH_DATA, 1, &min, &max);
    EXPECT_EQ(max, 128.0);

    // One plot away by its handle; the other stays.
    ASSERT_EQ(DeleteGraphPlot(main, PANEL_GRAPH_DATA, h1, 1), 0);
    ASSERT_EQ(GraphPlots(main, PANEL_GRAPH_DATA).size(), 1u);
    EXPECT_EQ(GraphPlots(main, PANEL_GRAPH_DATA)[0].color, 0xFF0000);
    EXPECT_EQ(DeleteGraphPlot(main, PANEL_GRAPH_DATA, h1, 1), kPanelErrAttribute);
}

TEST_F(PanelCharts, GraphTakesDoubleAndThirtyTwoBitElements) {
    const double xd[] = {0.5, 1.5, 2.5};
    const unsigned int yu[] = {100000, 2, 3};
    ASSERT_GE(
        PlotXY(main, PANEL_GRAPH_DATA, xd, yu, 3, kTypeDouble, kTypeUInt, 0, 10, 0, 1, 0x123456),
        1);
    const auto plots = GraphPlots(main, PANEL_GRAPH_DATA);
    ASSERT_EQ(plots.size(), 1u);
    EXPECT_EQ(plots[0].x, (std::vector<double>{0.5, 1.5, 2.5}));
    EXPECT_EQ(plots[0].y, (std::vector<double>{100000, 2, 3}));
    EXPECT_EQ(PlotXY(main, PANEL_GRAPH_DATA, xd, yu, 3, 0, kTypeUInt, 0, 10, 0, 1, 0),
              kPanelErrType);
}

TEST_F(PanelCharts, GraphLabelReadoutAndCursorStyles) {
    ASSERT_EQ(SetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrLabelText, "DELTA-T = (T2-T1)"), 0);
    char label[64];
    ASSERT_EQ(GetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrLabelText, label, sizeof label), 0);
    EXPECT_STREQ(label, "DELTA-T = (T2-T1)");
    auto* graph = qobject_cast<panelsvc::XYGraph*>(Ctrl(main, PANEL_GRAPH_DATA));
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->label(), "DELTA-T = (T2-T1)");

    ASSERT_EQ(SetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrGraphCursorMode, 2), 0);
    int v = -1;
    GetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrGraphCursorMode, &v);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(SetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrGraphCursorMode, 9),
              kPanelErrAttribute);

    for (int cursor : {1, 2}) {
        EXPECT_EQ(graph->cursorStyle(cursor), 0); // full crosshair from the description
        ASSERT_EQ(SetCursorAttribute(main, PANEL_GRAPH_DATA, cursor, kAttrCursorStyle, 4), 0);
        EXPECT_EQ(graph->cursorStyle(cursor), 4);
    }
    EXPECT_EQ(SetCursorAttribute(main, PANEL_GRAPH_DATA, 3, kAttrCursorStyle, 4),
              kPanelErrAttribute);
    EXPECT_EQ(SetCursorAttribute(main, PANEL_GRAPH_DATA, 1, kAttrCursorStyle, 99),
              kPanelErrAttribute);
    EXPECT_EQ(SetGraphCursor(main, PANEL_GRAPH_DATA, 0, 1, 1), kPanelErrAttribute);
    EXPECT_EQ(SetAxisScalingMode(main, PANEL_GRAPH_DATA, 2, 0, 0, 1), kPanelErrAttribute);
    EXPECT_EQ(SetAxisScalingMode(main, PANEL_GRAPH_DATA, 0, 0, 5, 5), kPanelErrAttribute);
}

} // namespace
