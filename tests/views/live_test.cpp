// The live view as the operator runs it: Run, the indicators and strip charts frame by frame,
// Stop, the line time-out, the graph-source ring, and keeping pace with a paced line.
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "runtime/timing.h"
#include "tests/support/support.h"
#include "views/live.h"

#include <QObject>
#include <QTimer>

#include <optional>
#include <string>

namespace evok {
namespace {

// valNorm, adc, amax, t1, t2, dt, btn, in0, in1 and an index the program keeps within 1..128.
const sim::Measurement kSample = {65535, 812, 900, 30, 70, 40, 0, 1, 0, 200};

class Live : public op::ProgramWithSim {
protected:
    // Presses Run and, `seconds` later, Stop; returns the seconds the Run callback took.
    double RunFor(double seconds) {
        op::At(seconds, [] { op::Click(panelHandle, PANEL_BTNSTOP); });
        const double start = Timer();
        op::Click(panelHandle, PANEL_BTNRUN);
        return Timer() - start;
    }
    std::optional<sim::Bytes> FirstRequest(std::uint16_t order) const {
        for (const sim::RequestRecord& r : sim_->model().requests())
            if (r.order == order) return r.bytes;
        return {};
    }
};

TEST_F(Live, IndicatorsAndRawChartShowEachFrame) {
    const struct {
        int source;
        double plotted;
        int colour;
    } rows[] = {{0, 812, 0x0000FF}, {1, 65535, 0xFF0000}};
    sim_->model().freezeMeasurement(kSample);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.source);
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, row.source);
        bool dimmedWhileRunning = false;
        op::At(0.2, [&] {
            dimmedWhileRunning =
                op::Dimmed(panelHandle, PANEL_BTNRUN) && op::Dimmed(panelHandle, PANEL_BTNDATA);
        });
        RunFor(0.5);
        EXPECT_TRUE(dimmedWhileRunning);
        std::vector<int> shown;
        for (int id : {PANEL_VAL_NORMA, PANEL_VAL_ADCCHA, PANEL_VAL_AMAX, PANEL_VAL_T1,
                       PANEL_VAL_T2, PANEL_VAL_DT, PANEL_IN0, PANEL_IN1})
            shown.push_back(op::IntValue(panelHandle, id));
        EXPECT_EQ(shown, (std::vector<int>{65535, 812, 900, 30, 70, 40, 1, 0}));
        EXPECT_EQ(indexA, 128);
        EXPECT_TRUE(op::Visible(panelHandle, PANEL_STRIPCHART_RAW));
        EXPECT_FALSE(op::Visible(panelHandle, PANEL_STRIPCHART_NORM) ||
                     op::Visible(panelHandle, PANEL_GRAPH_DATA));
        const std::vector<double> points = StripChartShownPoints(panelHandle, PANEL_STRIPCHART_RAW);
        ASSERT_FALSE(points.empty());
        EXPECT_EQ(points.back(), row.plotted);
        EXPECT_EQ(StripChartTraceColor(panelHandle, PANEL_STRIPCHART_RAW), row.colour);
        // Stop un-dims both buttons.
        EXPECT_FALSE(op::Dimmed(panelHandle, PANEL_BTNRUN) ||
                     op::Dimmed(panelHandle, PANEL_BTNDATA));
    }
}

TEST_F(Live, StopEndsTheLoop) {
    EXPECT_NEAR(RunFor(0.4), 0.4, 0.2);
    // No request goes out after Stop.
    const std::size_t requests = sim_->model().requestCount();
    op::Pump(0.3);
    EXPECT_EQ(sim_->model().requestCount(), requests);
}

TEST_F(Live, FirstRunWithTheRingBufferSourceDrawsTheNormChartAndMeasuredDeltaT) {
    sim_->model().freezeMeasurement(kSample);
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 2);
    ASSERT_EQ(type, 1);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_NORM, kAttrVisible, 1);
    RunFor(0.5);
    EXPECT_EQ(type, 1);
    const std::vector<double> norm = StripChartShownPoints(panelHandle, PANEL_STRIPCHART_NORM);
    ASSERT_FALSE(norm.empty());
    EXPECT_EQ(norm.back(), 65535.0);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_DELTAT), 40);
    // The next operation that takes the panels carries it as the deltaT parameter. (The live
    // loop's last request may still reach the controller after Stop: look for the page write.)
    ClearRequests();
    op::Click(panelHandle, PANEL_BTNSEND);
    ASSERT_TRUE(op::WaitUntil([&] { return FirstRequest(1).has_value(); }, 2));
    EXPECT_EQ(op::Word(*FirstRequest(1), 5), 40);
}

TEST_F(Live, SilentLineEndsTheLoopTwoSecondsAfterTheLastRequest) {
    // Frames flow for a while, then the controller stops answering.
    op::At(0.5, [&] { sim_->line().setMuted(true); });
    op::Click(panelHandle, PANEL_BTNRUN);
    const double end = Timer();
    const std::vector<sim::RequestRecord> requests = sim_->model().requests();
    ASSERT_GT(requests.size(), 5u);
    const double lastRequest =
        std::chrono::duration<double>(requests.back().firstByte.time_since_epoch()).count();
    EXPECT_NEAR(end - lastRequest, 2.0, 0.2);
    EXPECT_EQ(op::Status(), kTextLineTimeout);
    EXPECT_FALSE(op::Dimmed(panelHandle, PANEL_BTNRUN));
    EXPECT_TRUE(op::Dimmed(panelHandle, PANEL_BTNDATA));
}

class PacedLive : public Live {
protected:
    bool Paced() const override { return true; }
};

// A steady stream on a paced line never times out (the limit counts from the last request, not
// from Run), and the loop asks again as soon as a frame is in: a gross guard, the rate itself
// is a benchmark figure (the line allows 26.7 frames a second).
TEST_F(PacedLive, KeepsAskingAndNeverTimesOutOnASteadyLine) {
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    ClearRequests();
    RunFor(2.5);
    std::vector<sim::RequestRecord> requests = sim_->model().requests();
    std::erase_if(requests, [](const sim::RequestRecord& r) { return r.order != 8; });
    EXPECT_GT(requests.size(), 50u);
    EXPECT_EQ(op::Status(), kTextLineOk);
}

// Every frame is drawn as it comes: when the line goes quiet, the last frame is on the screen
// at once (the chart's picture holds its point, the indicators its values, and the screen is
// the panel as it paints itself whole), not only with a later write.
TEST_F(PacedLive, TheLastFrameIsOnScreenOnceTheLineGoesQuiet) {
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    constexpr double kOnScreenWithin = 0.1; // seconds after the frame is taken
    std::uint64_t points = 0;
    double lastFrame = 0;
    bool checked = false;
    std::vector<double> drawn, shown;
    std::string digits;
    int adc = -1;
    long differing = -1;
    QTimer watch; // looks every millisecond while the loop runs
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const std::uint64_t now = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
        if (now != points) {
            points = now;
            lastFrame = Timer();
            return;
        }
        if (checked || !sim_->line().muted() || lastFrame == 0 ||
            Timer() - lastFrame < kOnScreenWithin)
            return;
        checked = true;
        drawn = StripChartDrawnPoints(panelHandle, PANEL_STRIPCHART_RAW);
        shown = StripChartShownPoints(panelHandle, PANEL_STRIPCHART_RAW);
        digits = IndicatorDrawnText(panelHandle, PANEL_VAL_ADCCHA);
        adc = op::IntValue(panelHandle, PANEL_VAL_ADCCHA);
        differing = op::ScreenDifference(panelHandle);
        op::Click(panelHandle, PANEL_BTNSTOP);
    });
    watch.start(1);
    op::At(1.0, [&] { sim_->line().setMuted(true); });
    op::Click(panelHandle, PANEL_BTNRUN);
    ASSERT_TRUE(checked);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(drawn, shown);
    EXPECT_EQ(adc, static_cast<int>(shown.back()));
    EXPECT_EQ(digits, std::to_string(adc));
    EXPECT_EQ(differing, 0);
}

} // namespace
} // namespace evok
