// The live view as the operator runs it: Run, the indicators and strip charts frame by frame,
// Stop, the line time-out, the graph-source ring; the history utilities; the live rate.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "runtime/timing.h"
#include "tests/support/support.h"
#include "views/live.h"

#include <sys/resource.h>

#include <iostream>
#include <optional>

namespace evok {
namespace {

sim::Measurement Sample() {
    sim::Measurement m;
    m.valNorm = 65535;
    m.adc = 812;
    m.amax = 900;
    m.t1 = 30;
    m.t2 = 70;
    m.dt = 40;
    m.in0 = 1;
    m.in1 = 0;
    m.index = 200; // kept within 1..128 by the program
    return m;
}

class Live : public op::ProgramWithSim {
protected:
    // Presses Run and, `seconds` later, Stop; returns the seconds the Run callback took.
    double RunFor(double seconds) {
        op::At(seconds, [] { op::Click(panelHandle, PANEL_BTNSTOP); });
        const double start = Timer();
        op::Click(panelHandle, PANEL_BTNRUN);
        return Timer() - start;
    }
    // Measurement requests a second between the first and the last one of the run.
    double RequestRate() const {
        std::vector<sim::RequestRecord> requests = sim_->model().requests();
        std::erase_if(requests, [](const sim::RequestRecord& r) { return r.order != 8; });
        if (requests.size() < 2) return 0;
        return (requests.size() - 1) /
               sim::secondsBetween(requests.front().firstByte, requests.back().firstByte);
    }
};

TEST_F(Live, IndicatorsAndRawChartShowEachFrame) {
    struct Row {
        int source;
        double plotted;
        int colour;
    } rows[] = {{0, 812, 0x0000FF}, {1, 65535, 0xFF0000}};
    sim_->model().freezeMeasurement(Sample());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, row.source);
        bool dimmedWhileRunning = false;
        op::At(0.2, [&] {
            dimmedWhileRunning = op::Attribute(panelHandle, PANEL_BTNRUN, kAttrDimmed) == 1 &&
                                 op::Attribute(panelHandle, PANEL_BTNDATA, kAttrDimmed) == 1;
        });
        RunFor(0.5);
        EXPECT_TRUE(dimmedWhileRunning);
        std::vector<int> shownValues;
        for (int id : {PANEL_VAL_NORMA, PANEL_VAL_ADCCHA, PANEL_VAL_AMAX, PANEL_VAL_T1,
                       PANEL_VAL_T2, PANEL_VAL_DT, PANEL_IN0, PANEL_IN1}) {
            shownValues.push_back(op::IntValue(panelHandle, id));
        }
        EXPECT_EQ(shownValues, (std::vector<int>{65535, 812, 900, 30, 70, 40, 1, 0}));
        EXPECT_EQ(indexA, 128);
        EXPECT_TRUE(op::Visible(panelHandle, PANEL_STRIPCHART_RAW));
        EXPECT_FALSE(op::Visible(panelHandle, PANEL_STRIPCHART_NORM) ||
                     op::Visible(panelHandle, PANEL_GRAPH_DATA));
        const std::vector<double> shown = StripChartShownPoints(panelHandle, PANEL_STRIPCHART_RAW);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), row.plotted);
        EXPECT_EQ(StripChartTraceColor(panelHandle, PANEL_STRIPCHART_RAW), row.colour);
        // Stop un-dims both buttons.
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_BTNRUN, kAttrDimmed), 0);
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_BTNDATA, kAttrDimmed), 0);
    }
}

TEST_F(Live, StopEndsTheLoopAndRefillsBothHistories) {
    const double took = RunFor(0.4);
    EXPECT_NEAR(took, 0.4, 0.2);
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(rx_flag, 0);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(arrayRAW[i], 0.0) << i;
    for (int g = 0; g < kHistoryLen; ++g) {
        ASSERT_EQ(std::vector<double>(arrayNORM + 6 * g, arrayNORM + 6 * g + 5),
                  (std::vector<double>{2560, 1536, 2048, 0, 0}));
    }
    // No request goes out after Stop.
    const std::size_t requests = sim_->model().requestCount();
    op::Pump(0.3);
    EXPECT_EQ(sim_->model().requestCount(), requests);
}

TEST_F(Live, FirstRunWithTheRingBufferSourceDrawsTheNormChartAndMeasuredDeltaT) {
    sim_->model().freezeMeasurement(Sample());
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 2);
    ASSERT_EQ(type, 1);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_NORM, kAttrVisible, 1);
    RunFor(0.5);
    EXPECT_EQ(type, 1);
    const std::vector<double> norm = StripChartShownPoints(panelHandle, PANEL_STRIPCHART_NORM);
    ASSERT_FALSE(norm.empty());
    EXPECT_EQ(norm.back(), 65535.0);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_DELTAT), 40);
    // The next operation that takes the panels carries it as the deltaT parameter.
    // (The live loop's last request may still reach the controller after Stop: look for the
    // page write itself.)
    ClearRequests();
    op::Click(panelHandle, PANEL_BTNSEND);
    const auto pageWrite = [&] {
        for (const sim::RequestRecord& r : sim_->model().requests())
            if (r.order == 1) return std::optional<sim::Bytes>(r.bytes);
        return std::optional<sim::Bytes>();
    };
    ASSERT_TRUE(op::WaitUntil([&] { return pageWrite().has_value(); }, 2));
    EXPECT_EQ(op::Word(*pageWrite(), 5), 40);
}

TEST_F(Live, GraphSourceZeroSwitchesToTheRawChartForGoodOneDoesNot) {
    struct Row {
        std::vector<int> selections;
        int type;
    } rows[] = {{{1}, 1}, {{2}, 1}, {{0}, 0}, {{0, 1, 2}, 0}};
    for (const Row& row : rows) {
        type = 1;
        for (int source : row.selections)
            op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, source);
        EXPECT_EQ(type, row.type) << "last selection " << row.selections.back();
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 2);
    }
}

TEST_F(Live, SilentLineEndsTheLoopTwoSecondsAfterTheLastRequest) {
    // Frames flow for a while, then the controller stops answering.
    op::At(0.5, [&] { sim_->line().setMuted(true); });
    double end = 0;
    op::Click(panelHandle, PANEL_BTNRUN);
    end = Timer();
    const std::vector<sim::RequestRecord> requests = sim_->model().requests();
    ASSERT_GT(requests.size(), 5u);
    const double lastRequest =
        std::chrono::duration<double>(requests.back().firstByte.time_since_epoch()).count();
    EXPECT_NEAR(end - lastRequest, 2.0, 0.2);
    EXPECT_EQ(op::Status(), "Timeout RS232-Line!");
    EXPECT_EQ(op::Attribute(panelHandle, PANEL_BTNRUN, kAttrDimmed), 0);
    EXPECT_EQ(op::Attribute(panelHandle, PANEL_BTNDATA, kAttrDimmed), 1);
}

TEST(LiveUtilities, ShiftAndCopy1D) {
    struct Row {
        const char* name;
        int count, shifts, status;
        std::vector<double> expected; // of input 1 2 3 4 5
    } rows[] = {
        {"shift -1", 5, -1, 0, {2, 3, 4, 5, 0}},
        {"shift +1", 5, 1, 0, {0, 1, 2, 3, 4}},
        {"shift -3", 5, -3, 0, {4, 5, 0, 0, 0}},
        {"shift 0", 5, 0, 0, {1, 2, 3, 4, 5}},
        {"count 0", 0, 1, -20003, {1, 2, 3, 4, 5}},
        {"shift +count", 5, 5, -20102, {1, 2, 3, 4, 5}},
        {"shift -count", 5, -5, -20102, {1, 2, 3, 4, 5}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        double data[5] = {1, 2, 3, 4, 5};
        EXPECT_EQ(Shift(data, row.count, row.shifts, data), row.status);
        EXPECT_EQ(std::vector<double>(data, data + 5), row.expected);
    }
    double in[3] = {7, 8, 9}, out[3] = {0, 0, 0};
    EXPECT_EQ(Copy1D(in, 0, out), -20003);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(Copy1D(in, 3, out), 0);
    EXPECT_EQ(std::vector<double>(out, out + 3), std::vector<double>(in, in + 3));
}

TEST(LiveUtilities, TickCounterStopsAt60000) {
    ttick = 59999;
    for (int i = 0; i < 3; ++i)
        CC_Timer50ms(0, 0, kEvTimerTick, nullptr, 0, 0);
    EXPECT_EQ(ttick, 60000);
    CC_Timer50ms(0, 0, kEvCommit, nullptr, 0, 0);
    EXPECT_EQ(ttick, 60000);
}

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class PacedLive : public Live {
protected:
    bool Paced() const override { return true; }
};

// The line allows 1920 / 72 = 26.7 frames a second; the program must keep up with it and spend
// little of a core doing so (the simulator runs on a thread of its own and is not counted).
TEST_F(PacedLive, KeepsPaceWithTheLineAtLowCpu) {
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    ClearRequests();
    const double cpuStart = ThreadCpuSeconds();
    const double took = RunFor(4.0);
    const double cpu = ThreadCpuSeconds() - cpuStart;
    const double rate = RequestRate();
    std::cout << "live rate " << rate << " frames/s, GUI thread CPU " << 100 * cpu / took
              << " % over " << took << " s\n";
    RecordProperty("frames_per_second", std::to_string(rate));
    RecordProperty("cpu_percent", std::to_string(100 * cpu / took));
    EXPECT_GE(rate, 26.0);
    // A steady stream never times out: the limit counts from the last request, not from Run.
    EXPECT_EQ(op::Status(), "Line Ok!");
    EXPECT_LT(cpu / took, 0.10 * EVOK_CPU_ALLOWANCE);
}

} // namespace
} // namespace evok
