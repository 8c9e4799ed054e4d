// The data-block view as the operator uses it: the data button for the raw and normalised
// curves, the ring-buffer read on the para II panel, the threshold controls, and where the graph
// puts its plots and cursors; against the controller simulator and byte-exact peers.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "link/com232.h"
#include "params/binding.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "runtime/timing.h"
#include "tests/support/operator.h"
#include "tests/support/program.h"
#include "views/datablock.h"

#include <QWidget>

#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace evok {
namespace {

using Words = std::vector<std::uint16_t>;

constexpr int kGreen = 0x00FF00;
constexpr int kRed = 0xFF0000;
constexpr int kBlack = 0;
constexpr int kWhite = 0xFFFFFF;
constexpr int kLightGrey = 0xE0E0E0;
constexpr int kPointsOnly = 5;
constexpr int kThinLine = 0;
constexpr int kSolid = 0;
constexpr int kDashed = 1;

Words Prefix(const unsigned short* array, int count) {
    return Words(array, array + count);
}

template <std::size_t N> Words Prefix(const std::array<std::uint16_t, N>& array, int count) {
    return Words(array.begin(), array.begin() + count);
}

// One plot as PlotDATACurve draws it: x from xArray (0, 1, 2 ...), y the given words.
void ExpectPlot(const GraphPlot& plot, const Words& y, int plotStyle, int lineStyle, int color) {
    ASSERT_EQ(plot.x.size(), y.size());
    ASSERT_EQ(plot.y.size(), y.size());
    for (std::size_t i = 0; i < y.size(); ++i) {
        ASSERT_EQ(plot.x[i], static_cast<double>(i)) << "point " << i;
        ASSERT_EQ(plot.y[i], static_cast<double>(y[i])) << "point " << i;
    }
    EXPECT_EQ(plot.plotStyle, plotStyle);
    EXPECT_EQ(plot.pointStyle, 10);
    EXPECT_EQ(plot.lineStyle, lineStyle);
    EXPECT_EQ(plot.pointFrequency, 1);
    EXPECT_EQ(plot.color, color);
}

std::vector<GraphPlot> Plots() {
    return GraphPlots(panelHandle, PANEL_GRAPH_DATA);
}

std::string GraphLabel() {
    char text[256] = "";
    EXPECT_GE(GetCtrlAttribute(panelHandle, PANEL_GRAPH_DATA, kAttrLabelText, text, sizeof text),
              0);
    return text;
}

struct Point {
    double x = -1, y = -1;
    bool operator==(const Point&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Point& p) {
    return out << "(" << p.x << ", " << p.y << ")";
}

Point Cursor(int cursor) {
    Point p;
    EXPECT_GE(GetGraphCursor(panelHandle, PANEL_GRAPH_DATA, cursor, &p.x, &p.y), 0);
    return p;
}

std::pair<double, double> Axis(int axis) {
    std::pair<double, double> range{-1, -1};
    GraphAxisRange(panelHandle, PANEL_GRAPH_DATA, axis, &range.first, &range.second);
    return range;
}

// The four buttons a ring-buffer read dims, and the busy/idle display of the para II panel.
struct ReadDisplay {
    std::array<int, 4> dimmed{};
    std::string ringText;
    int background = -1, textColor = -1;
    std::string status;
};

ReadDisplay LookAtReadDisplay() {
    ReadDisplay d;
    d.dimmed = {op::Attribute(panelHandle, PANEL_BTNRUN, kAttrDimmed),
                op::Attribute(panelHandle, PANEL_BTNDATA, kAttrDimmed),
                op::Attribute(panelHandle, PANEL_BTN14, kAttrDimmed),
                op::Attribute(panelPopUp, POPUP_BTNGETDATA, kAttrDimmed)};
    d.ringText = op::TextValue(panelPopUp, POPUP_RINGTEXT);
    d.background = op::Attribute(panelPopUp, POPUP_RINGTEXT, kAttrTextBgColor);
    d.textColor = op::Attribute(panelPopUp, POPUP_RINGTEXT, kAttrTextColor);
    d.status = op::Status();
    return d;
}

void ExpectBusy(const ReadDisplay& d) {
    EXPECT_EQ(d.dimmed, (std::array<int, 4>{1, 1, 1, 1}));
    EXPECT_EQ(d.ringText, "DATA-TRANSFER active ...");
    EXPECT_EQ(d.background, kRed);
    EXPECT_EQ(d.textColor, kWhite);
}

void ExpectIdle(const ReadDisplay& d) {
    EXPECT_EQ(d.dimmed, (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(d.ringText, "DATA-RING-BUFFER-256");
    EXPECT_EQ(d.background, kLightGrey);
    EXPECT_EQ(d.textColor, kBlack);
}

// A ring buffer whose values tell the words apart.
sim::RingBuffer PatternRing(std::uint16_t index) {
    sim::RingBuffer ring;
    for (std::size_t i = 0; i < ring.values.size(); ++i)
        ring.values[i] = static_cast<std::uint16_t>(3 + (i * 37) % 120);
    ring.index = index;
    return ring;
}

// The 256 words of a ring-buffer read: values 0..254, index in word 255.
Words RingWords(const sim::RingBuffer& ring) {
    Words words(ring.values.begin(), ring.values.end());
    words.push_back(ring.index);
    return words;
}

// The block requests among the logged ones: offset and data source of each.
std::vector<std::pair<int, int>> BlockRequests(const std::vector<sim::RequestRecord>& requests) {
    std::vector<std::pair<int, int>> blocks;
    for (const sim::RequestRecord& r : requests)
        if (r.order == 9) blocks.emplace_back(op::Word(r.bytes, 0), op::Word(r.bytes, 1));
    return blocks;
}

// The program on the simulator with the para II panel shown, as an operator has it before a
// ring-buffer read.
class DataBlockView : public op::ProgramWithSim {
protected:
    void SetUp() override {
        op::ProgramWithSim::SetUp();
        if (HasFatalFailure()) return;
        ShowParaII();
    }
    static void ShowParaII() {
        op::Click(panelHandle, PANEL_TOGBTNPARAII);
        ASSERT_TRUE(PanelWidget(panelPopUp)->isVisible());
    }
};

// ---- Data button: raw and normalised curves ---------------------------------------------------

struct CurveRow {
    const char* name;
    int source;
    const char* label;
};

void PrintTo(const CurveRow& row, std::ostream* out) {
    *out << row.name;
}

class DataButton : public DataBlockView, public ::testing::WithParamInterface<CurveRow> {};

TEST_P(DataButton, ReplacesOnlyTheCurveWordsAndDrawsTheCurve) {
    const CurveRow& row = GetParam();
    // An earlier ring-buffer read fills all 256 words.
    sim_->model().setRing(PatternRing(77));
    op::Click(panelPopUp, POPUP_BTNGETDATA);
    const Words earlierRing = RingWords(sim_->model().ring());
    ASSERT_EQ(Prefix(yArrayA, kDataLen), earlierRing);

    // A fixed measurement, so that T1 and T2 of the frame before the read are known.
    sim::Measurement m;
    m.valNorm = 640;
    m.adc = 700;
    m.amax = 980;
    m.t1 = 30;
    m.t2 = 80;
    m.dt = 50;
    m.index = 55;
    sim_->model().freezeMeasurement(m);
    // Reference arrays that differ from the thresholds, to see which of them is drawn.
    for (int i = 0; i < kCurveLen; ++i) {
        refArray1[i] = static_cast<unsigned short>(100 + i);
        refArray2[i] = static_cast<unsigned short>(400 + 2 * i);
    }
    const Words ref1 = Prefix(refArray1, kCurveLen), ref2 = Prefix(refArray2, kCurveLen);
    thd1 = 333;
    thd2 = 444;
    valREF1 = 1;
    valREF2 = 2;

    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, row.source);
    ClearRequests();
    op::Click(panelHandle, PANEL_BTNDATA);

    // The controller saw the measurement request, then two block requests for this source.
    EXPECT_EQ(Orders(), (std::vector<std::uint16_t>{8, 9, 9}));
    EXPECT_EQ(BlockRequests(sim_->model().requests()),
              (std::vector<std::pair<int, int>>{{0, row.source}, {64, row.source}}));

    // Words 0-127: the curve of the measurement just taken; 128-255 and the index: the ring.
    const auto curve = sim_->model().dataArray(static_cast<std::uint16_t>(row.source));
    ASSERT_GT(*std::max_element(curve.begin(), curve.begin() + 128), 0);
    EXPECT_EQ(Prefix(yArrayA, 128), Prefix(curve, 128));
    EXPECT_EQ(Words(yArrayA + 128, yArrayA + kDataLen),
              Words(earlierRing.begin() + 128, earlierRing.end()));
    EXPECT_EQ(T1val, 30);
    EXPECT_EQ(T2val, 80);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_VAL_T1), 30);

    EXPECT_EQ(GraphLabel(), row.label);
    EXPECT_EQ(Axis(0), std::make_pair(1.0, 128.0));
    EXPECT_EQ(Axis(1), std::make_pair(0.0, 1000.0));
    EXPECT_TRUE(op::Visible(panelHandle, PANEL_GRAPH_DATA));
    EXPECT_FALSE(op::Visible(panelHandle, PANEL_STRIPCHART_RAW));
    EXPECT_FALSE(op::Visible(panelHandle, PANEL_STRIPCHART_NORM));
    EXPECT_EQ(op::Attribute(panelHandle, PANEL_BTNDATA, kAttrDimmed), 0);
    EXPECT_EQ(op::Status(), "Data[64] block received!");

    const std::vector<GraphPlot> plots = Plots();
    const Words data = Prefix(yArrayA, 128);
    if (row.source == 0) {
        ASSERT_EQ(plots.size(), 1u);
        ExpectPlot(plots[0], data, kPointsOnly, kSolid, kGreen);
        EXPECT_EQ(Cursor(1), (Point{1, 1}));
        EXPECT_EQ(Cursor(2), (Point{1, 1}));
        EXPECT_EQ(valREF1, 1);
        EXPECT_EQ(valREF2, 2);
    } else {
        // The reference lines the arrays held, not the thresholds just taken into valREF1/2.
        ASSERT_EQ(plots.size(), 3u);
        ExpectPlot(plots[0], Words(ref1.begin(), ref1.begin() + 128), kThinLine, kDashed, kBlack);
        ExpectPlot(plots[1], Words(ref2.begin(), ref2.begin() + 128), kThinLine, kDashed, kBlack);
        ExpectPlot(plots[2], data, kPointsOnly, kSolid, kRed);
        EXPECT_EQ(Cursor(1), (Point{30, static_cast<double>(yArrayA[30])}));
        EXPECT_EQ(Cursor(2), (Point{80, static_cast<double>(yArrayA[80])}));
        EXPECT_EQ(valREF1, 333);
        EXPECT_EQ(valREF2, 444);
        EXPECT_EQ(Prefix(refArray1, kCurveLen), ref1);
        EXPECT_EQ(Prefix(refArray2, kCurveLen), ref2);
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, DataButton,
                         ::testing::Values(CurveRow{"raw", 0, "RAW-values / [ADC-units]"},
                                           CurveRow{"normalised", 1, "NORM=1000*(A/Amax)"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Ring-buffer read -------------------------------------------------------------------------

// The controller takes 0.3 s over each measurement frame, long enough to look at the program
// while the ring-buffer read waits for it.
class SlowMeasurementRead : public DataBlockView {
protected:
    void SetUp() override {
        sim::Simulator::Options options;
        options.line.pacing = false;
        options.line.faults.delay = 1.0;
        options.line.faults.delaySeconds = 0.3;
        options.line.faults.orders = {sim::kOrderMeasure};
        sim_ = std::make_unique<sim::Simulator>(options);
        program_ = std::make_unique<op::Program>(sim_->devicePath());
        ASSERT_EQ(program_->startResult(), 0);
        ShowParaII();
    }
};

TEST_F(SlowMeasurementRead, RingBufferReadFetchesAllFourBlocksAndDrawsTheDeltaTMode) {
    sim_->model().setRing(PatternRing(100));
    for (int i = 0; i < kCurveLen; ++i)
        thdArray[i] = static_cast<unsigned short>(60 + i % 7);
    const Words thd = Prefix(thdArray, 255);
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    ClearRequests();

    ReadDisplay during;
    bool looked = false;
    op::At(0.15, [&] {
        during = LookAtReadDisplay();
        looked = true;
    });
    op::Click(panelPopUp, POPUP_BTNGETDATA);
    ASSERT_TRUE(looked) << "the read ended before the program could be looked at";
    ExpectBusy(during);
    EXPECT_EQ(during.status, "Line Ok!");
    ExpectIdle(LookAtReadDisplay());

    // One measurement frame, then the four blocks of source 2 in order.
    EXPECT_EQ(Orders(), (std::vector<std::uint16_t>{8, 9, 9, 9, 9}));
    EXPECT_EQ(BlockRequests(sim_->model().requests()),
              (std::vector<std::pair<int, int>>{{0, 2}, {64, 2}, {128, 2}, {192, 2}}));

    // The measurement frame wrote its delta-T at index 100, so the index is now 101.
    const sim::RingBuffer ring = sim_->model().ring();
    ASSERT_EQ(ring.index, 101);
    EXPECT_EQ(Prefix(yArrayA, kDataLen), RingWords(ring));
    EXPECT_EQ(op::IntValue(panelPopUp, POPUP_RINGINDEX), 101);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_RNGGRAPHSOURCE), 2);
    EXPECT_EQ(op::Status(), "Data[64] block received!");

    EXPECT_EQ(GraphLabel(), "DELTA-T = (T2-T1)");
    EXPECT_EQ(Axis(0), std::make_pair(0.0, 256.0));
    EXPECT_EQ(Axis(1), std::make_pair(0.0, 128.0));
    EXPECT_TRUE(op::Visible(panelHandle, PANEL_GRAPH_DATA));
    EXPECT_FALSE(op::Visible(panelHandle, PANEL_STRIPCHART_RAW));
    EXPECT_FALSE(op::Visible(panelHandle, PANEL_STRIPCHART_NORM));
    const std::vector<GraphPlot> plots = Plots();
    ASSERT_EQ(plots.size(), 2u);
    ExpectPlot(plots[0], thd, kThinLine, kDashed, kBlack);
    ExpectPlot(plots[1], Prefix(yArrayA, 255), kPointsOnly, kSolid, kRed);
    // Both cursors on the entry written last.
    EXPECT_EQ(T1val, 100);
    EXPECT_EQ(Cursor(1), (Point{100, static_cast<double>(ring.values[100])}));
    EXPECT_EQ(Cursor(2), (Point{100, static_cast<double>(ring.values[100])}));
}

TEST_F(DataBlockView, RingBufferReadWithASilentControllerStillEndsUsable) {
    std::fill(yArrayA, yArrayA + kDataLen, 7);
    sim_->line().setMuted(true);
    ClearRequests();

    ReadDisplay during;
    bool looked = false;
    op::At(0.5, [&] {
        during = LookAtReadDisplay();
        looked = true;
    });
    const double start = Timer();
    op::Click(panelPopUp, POPUP_BTNGETDATA);
    const double took = Timer() - start;

    ASSERT_TRUE(looked);
    ExpectBusy(during);
    ExpectIdle(LookAtReadDisplay());
    // The frame wait (1.5 s) and four block waits (1.5 s each); every block was still asked for.
    EXPECT_GE(took, 7.4);
    EXPECT_LT(took, 9.0);
    EXPECT_EQ(Orders(), (std::vector<std::uint16_t>{8, 9, 9, 9, 9}));
    EXPECT_EQ(op::Status(), "Timeout-RS-232 while reading 64 data-words!");
    // Each timed-out read clears words 0-127; 128-255 keep what they held.
    EXPECT_EQ(Prefix(yArrayA, 128), Words(128, 0));
    EXPECT_EQ(Words(yArrayA + 128, yArrayA + kDataLen), Words(128, 7));
    EXPECT_EQ(op::IntValue(panelPopUp, POPUP_RINGINDEX), 7);
    EXPECT_EQ(GraphLabel(), "DELTA-T = (T2-T1)");

    // The program answers the operator again: the next read gets its data.
    sim_->line().setMuted(false);
    op::Click(panelPopUp, POPUP_BTNGETDATA);
    EXPECT_EQ(Prefix(yArrayA, kDataLen), RingWords(sim_->model().ring()));
}

// ---- Cursor placement -------------------------------------------------------------------------

// Rows drawn directly from set variables: the clamping of T1/T2 in every mode and the delta-T
// cursor for every kind of actual index.
TEST_F(DataBlockView, CursorsAreClampedIntoTheGraph) {
    struct Row {
        const char* name;
        int source;
        unsigned short t1, t2, index;
        unsigned short t1After, t2After;
        double x1, x2; // the cursors' x; y is the data word there ((1, 1) in raw mode)
    } rows[] = {
        {"normalised 0 and 300", 1, 0, 300, 0, 1, 128, 1, 128},
        {"normalised 128 and 129", 1, 128, 129, 0, 128, 128, 128, 128},
        {"normalised inside", 1, 1, 127, 0, 1, 127, 1, 127},
        {"raw 0 and 65535", 0, 0, 65535, 0, 1, 128, 1, 1},
        {"delta-T index 0", 2, 5, 6, 0, 254, 6, 254, 254},
        {"delta-T index 1", 2, 5, 6, 1, 0, 6, 0, 0},
        {"delta-T index 254", 2, 5, 300, 254, 253, 128, 253, 253},
        {"delta-T index 255", 2, 5, 6, 255, 254, 6, 254, 254},
        {"delta-T index 1000", 2, 5, 6, 1000, 254, 6, 254, 254},
        {"delta-T index 65535", 2, 5, 6, 65535, 254, 6, 254, 254},
    };
    for (int i = 0; i < kDataLen; ++i)
        yArrayA[i] = static_cast<unsigned short>(1000 - 3 * i);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, row.source);
        yArrayA[kRingIndexWord] = row.index;
        T1val = row.t1;
        T2val = row.t2;
        PlotDATACurve(yArrayA, refArray1, refArray2);

        EXPECT_EQ(T1val, row.t1After);
        EXPECT_EQ(T2val, row.t2After);
        const bool raw = row.source == 0;
        const auto at = [&](double x) {
            return raw ? Point{1, 1} : Point{x, static_cast<double>(yArrayA[int(x)])};
        };
        EXPECT_EQ(Cursor(1), at(row.x1));
        EXPECT_EQ(Cursor(2), at(row.x2));
    }
}

// A scripted controller answering the start-up and then one ring-buffer read with `words`.
struct RingPeer {
    explicit RingPeer(const Words& words) {
        op::AnswerStartUp(peer, {700, 800, 400, 900, 10, 0, 50, 4, 2, 1, 1, 0, 1, 300, 2},
                          sim::encodeFirmwareText("PEER FW 1.0"));
        peer.expect(36, 5).reply(op::Frame(8, {500, 600, 900, 20, 40, 20, 0, 0, 0, 30}));
        for (int b = 0; b < 4; ++b) {
            peer.expect(36, 5).reply(
                sim::encodeWords(std::span(words).subspan(static_cast<std::size_t>(64 * b), 64)));
        }
        peer.start();
    }
    sim::ScriptedPeer peer;
};

// The delta-T cursors after real ring-buffer reads: from the simulator (whose index runs
// 0..254) and from a peer that sends indexes a controller should not.
TEST(DeltaTCursorsAfterARead, MarkTheEntryWrittenLast) {
    struct Row {
        const char* name;
        bool peer;
        std::uint16_t index; // the actual index the read delivers
        int x;
    } rows[] = {
        {"simulator, index 0", false, 0, 254},
        {"simulator, index 1", false, 1, 0},
        {"peer, index 255", true, 255, 254},
        {"peer, index 65535", true, 65535, 254},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Words expected;
        std::unique_ptr<sim::Simulator> sim;
        std::unique_ptr<RingPeer> peer;
        std::string device;
        if (row.peer) {
            for (int i = 0; i < 255; ++i)
                expected.push_back(static_cast<std::uint16_t>(i % 90));
            expected.push_back(row.index);
            peer = std::make_unique<RingPeer>(expected);
            device = peer->peer.devicePath();
        } else {
            sim::Simulator::Options options;
            options.line.pacing = false;
            sim = std::make_unique<sim::Simulator>(options);
            // The measurement frame before the blocks moves the index on by one.
            sim->model().setRing(PatternRing(static_cast<std::uint16_t>((row.index + 254) % 255)));
            device = sim->devicePath();
        }
        op::Program program(device);
        ASSERT_EQ(program.startResult(), 0);
        op::Click(panelHandle, PANEL_TOGBTNPARAII);
        op::Click(panelPopUp, POPUP_BTNGETDATA);
        if (sim) {
            ASSERT_EQ(sim->model().ring().index, row.index);
            expected = RingWords(sim->model().ring());
        } else {
            ASSERT_TRUE(peer->peer.waitDone(2)) << peer->peer.failure();
        }

        EXPECT_EQ(Prefix(yArrayA, kDataLen), expected);
        EXPECT_EQ(op::IntValue(panelPopUp, POPUP_RINGINDEX), row.index);
        EXPECT_EQ(T1val, row.x);
        const Point marked{static_cast<double>(row.x), static_cast<double>(expected[row.x])};
        EXPECT_EQ(Cursor(1), marked);
        EXPECT_EQ(Cursor(2), marked);
    }
}

// ---- Threshold controls -----------------------------------------------------------------------

struct ThresholdRow {
    const char* name;
    int control;
    int value;
    int source;
};

void PrintTo(const ThresholdRow& row, std::ostream* out) {
    *out << row.name;
}

class ThresholdChange : public DataBlockView, public ::testing::WithParamInterface<ThresholdRow> {};

TEST_P(ThresholdChange, FillsTheReferenceLinesAndRedraws) {
    const ThresholdRow& row = GetParam();
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, row.source);
    // As during a live loop: both strip charts shown, the graph hidden.
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_RAW, kAttrVisible, 1);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_NORM, kAttrVisible, 1);
    SetCtrlAttribute(panelHandle, PANEL_GRAPH_DATA, kAttrVisible, 0);
    std::fill(refArray1 + 128, refArray1 + kCurveLen, 1111);
    std::fill(refArray2 + 128, refArray2 + kCurveLen, 2222);
    for (int i = 0; i < kDataLen; ++i) {
        yArrayA[i] = static_cast<unsigned short>(5 + i % 50);
        thdArray[i] = 42;
    }
    const unsigned short thd1Before = thd1, thd2Before = thd2;
    ClearRequests();

    op::EnterNumber(panelHandle, row.control, row.value);

    const int first = op::IntValue(panelHandle, PANEL_NUM_THRESHOLD1);
    const int second = op::IntValue(panelHandle, PANEL_NUM_THRESHOLD2);
    EXPECT_EQ(row.control == PANEL_NUM_THRESHOLD1 ? first : second, row.value);
    Words ref1(128, static_cast<std::uint16_t>(first)),
        ref2(128, static_cast<std::uint16_t>(second));
    EXPECT_EQ(Prefix(refArray1, 128), ref1);
    EXPECT_EQ(Prefix(refArray2, 128), ref2);
    EXPECT_EQ(Words(refArray1 + 128, refArray1 + kCurveLen), Words(128, 1111));
    EXPECT_EQ(Words(refArray2 + 128, refArray2 + kCurveLen), Words(128, 2222));
    EXPECT_EQ(thd1, thd1Before);
    EXPECT_EQ(thd2, thd2Before);
    EXPECT_FALSE(op::Visible(panelHandle, PANEL_STRIPCHART_RAW));
    EXPECT_FALSE(op::Visible(panelHandle, PANEL_STRIPCHART_NORM));
    EXPECT_FALSE(op::Visible(panelHandle, PANEL_GRAPH_DATA));
    EXPECT_TRUE(Orders().empty()) << "a threshold change talks to no controller";

    const std::vector<GraphPlot> plots = Plots();
    switch (row.source) {
    case 0:
        EXPECT_EQ(GraphLabel(), "RAW-values / [ADC-units]");
        ASSERT_EQ(plots.size(), 1u);
        ExpectPlot(plots[0], Prefix(yArrayA, 128), kPointsOnly, kSolid, kGreen);
        break;
    case 1:
        EXPECT_EQ(GraphLabel(), "NORM=1000*(A/Amax)");
        ASSERT_EQ(plots.size(), 3u);
        ExpectPlot(plots[0], ref1, kThinLine, kDashed, kBlack);
        ExpectPlot(plots[1], ref2, kThinLine, kDashed, kBlack);
        ExpectPlot(plots[2], Prefix(yArrayA, 128), kPointsOnly, kSolid, kRed);
        break;
    default:
        EXPECT_EQ(GraphLabel(), "DELTA-T = (T2-T1)");
        EXPECT_EQ(Axis(0), std::make_pair(0.0, 256.0));
        ASSERT_EQ(plots.size(), 2u);
        ExpectPlot(plots[0], Words(255, 42), kThinLine, kDashed, kBlack);
        ExpectPlot(plots[1], Prefix(yArrayA, 255), kPointsOnly, kSolid, kRed);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ThresholdChange,
    ::testing::Values(ThresholdRow{"threshold1_normalised", PANEL_NUM_THRESHOLD1, 750, 1},
                      ThresholdRow{"threshold2_normalised", PANEL_NUM_THRESHOLD2, 333, 1},
                      ThresholdRow{"threshold2_raw", PANEL_NUM_THRESHOLD2, 65535, 0},
                      ThresholdRow{"threshold1_delta_t", PANEL_NUM_THRESHOLD1, 40, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Duration on a paced line -----------------------------------------------------------------

class PacedLine : public DataBlockView {
protected:
    bool Paced() const override { return true; }
};

TEST_F(PacedLine, RingBufferReadTakesLittleMoreThanItsBytesOnTheWire) {
    // Measurement request and reply, then four block requests and their 128-byte replies.
    constexpr double kWireBytes = 36 + 36 + 4 * (36 + 128);
    constexpr double kWireSeconds = kWireBytes / 1920.0;
    ClearRequests();
    const double start = Timer();
    op::Click(panelPopUp, POPUP_BTNGETDATA);
    const double took = Timer() - start;

    std::cout << "ring-buffer read on a paced 19200-baud line: " << took * 1000 << " ms (wire "
              << kWireSeconds * 1000 << " ms, limit " << 1.1 * kWireSeconds * 1000 << " ms)\n";
    RecordProperty("ring_read_ms", std::to_string(took * 1000));
    EXPECT_EQ(Orders(), (std::vector<std::uint16_t>{8, 9, 9, 9, 9}));
    EXPECT_EQ(Prefix(yArrayA, kDataLen), RingWords(sim_->model().ring()));
    EXPECT_LE(took, 1.1 * kWireSeconds);
}

} // namespace
} // namespace evok
