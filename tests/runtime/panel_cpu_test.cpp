// What the live view costs: a strip chart handed its whole 100-point history 27 times a second,
// as the live loop does, must leave the processor nearly idle.
#include "panel_test_support.h"

#include <QTest>
#include <QTimer>

#include <cmath>
#include <ctime>

using namespace paneltest;
using namespace evok;

class PanelCpu : public PanelFixture {};

TEST_F(PanelCpu, LiveStripChartUpdatesCostLittleProcessorTime) {
    double history[100] = {};
    int frame = 0;
    QTimer live;
    QObject::connect(&live, &QTimer::timeout, [&] {
        std::copy(history + 1, history + 100, history);
        history[99] = 500 + 400 * std::sin(++frame / 5.0);
        SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrPointsPerScreen, 101);
        PlotStripChart(main, PANEL_STRIPCHART_RAW, history, 100, 0, 0, kTypeDouble);
    });
    const std::clock_t start = std::clock();
    live.start(37);
    QTest::qWait(1500);
    const double share = double(std::clock() - start) / CLOCKS_PER_SEC / 1.5;
    EXPECT_GE(frame, 30);
    EXPECT_LT(share, 0.10); // about 2-4 % measured; a redraw per point costs many times that
}
