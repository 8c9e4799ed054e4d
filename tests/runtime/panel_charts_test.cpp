// Strip charts and the XY graph: what the program plots is what the chart shows.
#include "panel_test_support.h"

#include <numeric>
#include <tuple>

using namespace paneltest;
using namespace evok;

namespace {

class PanelCharts : public PanelFixture {};

// As the live loop does it: the points per screen, then the whole 100-point history, each time.
TEST_F(PanelCharts, StripChartShowsTheNewest101PointsAfterAppendsOf100) {
    std::vector<double> history(100), expected(101);
    for (int call = 0; call < 3; ++call) {
        std::iota(history.begin(), history.end(), call * 100.0);
        SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrPointsPerScreen, 101);
        PlotStripChart(main, PANEL_STRIPCHART_RAW, history.data(), 100, 0, 0, kTypeDouble);
    }
    std::iota(expected.begin(), expected.end(), 199.0);
    EXPECT_EQ(StripChartShownPoints(main, PANEL_STRIPCHART_RAW), expected);
}

// The data-block view: cursors set, every plot deleted, a dashed line and a red curve drawn anew.
TEST_F(PanelCharts, GraphHoldsPlotsAndCursorsAcrossDeleteAndPlot) {
    unsigned short x[255], y[255], line[255];
    for (int i = 0; i < 255; ++i)
        x[i] = i, y[i] = i % 128, line[i] = 40;
    ASSERT_EQ(SetGraphCursor(main, PANEL_GRAPH_DATA, 1, 37.0, 786.0), 0);
    ASSERT_EQ(SetGraphCursor(main, PANEL_GRAPH_DATA, 2, 88.0, 338.0), 0);
    ASSERT_GE(PlotXY(main, PANEL_GRAPH_DATA, x, y, 128, 6, 6, 5, 10, 0, 1, 0x00FF00), 1);
    ASSERT_EQ(DeleteGraphPlot(main, PANEL_GRAPH_DATA, -1, 1), 0);
    EXPECT_TRUE(GraphPlots(main, PANEL_GRAPH_DATA).empty());
    const int dashed = PlotXY(main, PANEL_GRAPH_DATA, x, line, 255, 6, 6, 0, 10, 1, 1, 0);
    ASSERT_GE(PlotXY(main, PANEL_GRAPH_DATA, x, y, 255, 6, 6, 5, 10, 0, 1, 0xFF0000), dashed + 1);

    const std::vector<GraphPlot> plots = GraphPlots(main, PANEL_GRAPH_DATA);
    ASSERT_EQ(plots.size(), 2u);
    EXPECT_EQ(plots[0].y, std::vector<double>(255, 40.0));
    EXPECT_EQ(std::tie(plots[0].plotStyle, plots[0].lineStyle, plots[0].color),
              std::make_tuple(0, 1, 0));
    EXPECT_EQ(std::make_pair(plots[1].x.at(254), plots[1].y.at(200)), std::make_pair(254.0, 72.0));
    EXPECT_EQ(std::tie(plots[1].plotStyle, plots[1].pointStyle, plots[1].color),
              std::make_tuple(5, 10, 0xFF0000));
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    GetGraphCursor(main, PANEL_GRAPH_DATA, 1, &x1, &y1);
    GetGraphCursor(main, PANEL_GRAPH_DATA, 2, &x2, &y2);
    EXPECT_EQ(std::vector<double>({x1, y1, x2, y2}), std::vector<double>({37, 786, 88, 338}));
}

} // namespace
