// The data-block view as the operator uses it: the ring-buffer read on the para II panel, the
// data button for the raw and normalised curves, the threshold controls, and where the graph
// puts its plots and cursors; against the paced controller simulator.
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "params/binding.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "runtime/timing.h"
#include "tests/support/support.h"
#include "views/datablock.h"

#include <array>
#include <numeric>
#include <sstream>

namespace evok {
namespace {

using Words = std::vector<std::uint16_t>;
using Point = std::pair<double, double>;

Words Y(int from, int to) {
    return Words(yArrayA + from, yArrayA + to);
}

Point Cursor(int cursor) {
    Point p{-1, -1};
    GetGraphCursor(panelHandle, PANEL_GRAPH_DATA, cursor, &p.first, &p.second);
    return p;
}

// The graph in the mode of graph source 0, 1 or 2: label, axes, the plots, x from xArray (lines
// from the arrays given, black and dashed, then yArrayA, points only, green raw, else red), and
// both cursors at their x on the data (the raw mode puts them at (1, 1)).
void ExpectMode(int source, const unsigned short* a, const unsigned short* b, int x1, int x2) {
    const bool ring = source == 2;
    const int n = ring ? 255 : 128;
    const char* labels[] = {"RAW-values / [ADC-units]", "NORM=1000*(A/Amax)", "DELTA-T = (T2-T1)"};
    char label[64] = "";
    GetCtrlAttribute(panelHandle, PANEL_GRAPH_DATA, kAttrLabelText, label, sizeof label);
    EXPECT_STREQ(label, labels[source]);
    std::array<double, 4> axes{};
    GraphAxisRange(panelHandle, PANEL_GRAPH_DATA, 0, &axes[0], &axes[1]);
    GraphAxisRange(panelHandle, PANEL_GRAPH_DATA, 1, &axes[2], &axes[3]);
    EXPECT_EQ(axes,
              (ring ? std::array{0.0, 256.0, 0.0, 128.0} : std::array{1.0, 128.0, 0.0, 1000.0}));
    std::vector<Words> lines;
    if (source == 1) lines = {Words(a, a + n), Words(b, b + n)};
    if (ring) lines = {Words(a, a + n)};
    lines.push_back(Y(0, n));
    const std::vector<GraphPlot> plots = GraphPlots(panelHandle, PANEL_GRAPH_DATA);
    ASSERT_EQ(plots.size(), lines.size());
    for (std::size_t p = 0; p < plots.size(); ++p) {
        const GraphPlot& g = plots[p];
        EXPECT_EQ(g.x, std::vector<double>(xArray, xArray + n)) << "plot " << p;
        EXPECT_EQ(g.y, std::vector<double>(lines[p].begin(), lines[p].end())) << "plot " << p;
        EXPECT_EQ((std::array{g.plotStyle, g.pointStyle, g.lineStyle, g.pointFrequency, g.color}),
                  (p + 1 < plots.size() ? std::array{0, 10, 1, 1, 0}
                                        : std::array{5, 10, 0, 1, source ? 0xFF0000 : 0x00FF00}));
    }
    EXPECT_EQ(Cursor(1), source ? Point(x1, yArrayA[x1]) : Point(1, 1));
    EXPECT_EQ(Cursor(2), source ? Point(x2, yArrayA[x2]) : Point(1, 1));
}

// The dimmed attributes of the Run, data, 14 and ring-buffer buttons, and the ring display's
// background colour, text colour and text.
std::string ReadDisplay() {
    std::ostringstream d;
    for (int control : {PANEL_BTNRUN, PANEL_BTNDATA, PANEL_BTN14})
        d << op::Dimmed(panelHandle, control);
    d << op::Dimmed(panelPopUp, POPUP_BTNGETDATA) << std::hex << ' '
      << op::Attribute(panelPopUp, POPUP_RINGTEXT, kAttrTextBgColor) << ' '
      << op::Attribute(panelPopUp, POPUP_RINGTEXT, kAttrTextColor) << ' '
      << op::TextValue(panelPopUp, POPUP_RINGTEXT);
    return d.str();
}

// The program on the paced simulator with the para II panel shown.
class DataBlockView : public op::ProgramWithSim {
protected:
    bool Paced() const override { return true; }
    void SetUp() override {
        op::ProgramWithSim::SetUp();
        if (!HasFatalFailure()) op::Click(panelHandle, PANEL_TOGBTNPARAII);
    }
    // The requests since ClearRequests: "8", or "9:64/2" for the block at 64 of data source 2.
    std::vector<std::string> Requests() const {
        std::vector<std::string> out;
        for (const sim::RequestRecord& r : sim_->model().requests())
            out.push_back(r.order != 9 ? std::to_string(r.order)
                                       : "9:" + std::to_string(op::Word(r.bytes, 0)) + "/" +
                                             std::to_string(op::Word(r.bytes, 1)));
        return out;
    }
};

TEST_F(DataBlockView, RingReadThenCurveReads) {
    sim::RingBuffer ring;
    std::iota(ring.values.begin(), ring.values.end(), 3); // values that tell the words apart
    ring.index = 100;
    sim_->model().setRing(ring);
    std::fill(thdArray, thdArray + kCurveLen, 66);
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    ClearRequests();
    std::string during; // seen while the read waits for its measurement frame
    op::At(0.01, [&] { during = ReadDisplay(); });
    const double start = Timer();
    op::Click(panelPopUp, POPUP_BTNGETDATA);
    // Measurement request and reply, then four block requests and their 128-byte replies: no
    // wait beyond the line's own time.
    EXPECT_LE(Timer() - start, 1.1 * (36 + 36 + 4 * (36 + 128)) * 10 / 19200.0);
    EXPECT_EQ(during, "1111 ff0000 ffffff DATA-TRANSFER active ...");
    EXPECT_EQ(ReadDisplay(), "0000 e0e0e0 0 DATA-RING-BUFFER-256");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"8", "9:0/2", "9:64/2", "9:128/2", "9:192/2"}));
    // The measurement frame wrote its delta-T at index 100: the index is now 101.
    ring = sim_->model().ring();
    const Words ringRead = Y(0, kDataLen);
    EXPECT_EQ(Y(0, 255), Words(ring.values.begin(), ring.values.end()));
    EXPECT_EQ(op::IntValue(panelPopUp, POPUP_RINGINDEX), 101);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_RNGGRAPHSOURCE), 2);
    ExpectMode(2, thdArray, thdArray, 100, 100); // both cursors on the entry written last

    // The data button then replaces words 0-127 only, with the curve of a new measurement.
    sim_->model().freezeMeasurement({640, 700, 980, 30, 80, 50, 0, 0, 0, 55});
    // Reference lines that differ from the thresholds, to see which of them is drawn.
    std::iota(refArray1, refArray1 + 128, 100);
    std::iota(refArray2, refArray2 + 128, 400);
    const Words ref1(refArray1, refArray1 + 128), ref2(refArray2, refArray2 + 128);
    thd1 = 333, thd2 = 444, valREF1 = 1, valREF2 = 2;
    for (int source : {0, 1}) {
        SCOPED_TRACE(source);
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, source);
        ClearRequests();
        op::Click(panelHandle, PANEL_BTNDATA);
        const std::string s = "/" + std::to_string(source);
        EXPECT_EQ(Requests(), (std::vector<std::string>{"8", "9:0" + s, "9:64" + s}));
        const auto curve = sim_->model().dataArray(static_cast<std::uint16_t>(source));
        EXPECT_EQ(Y(0, 128), Words(curve.begin(), curve.begin() + 128));
        EXPECT_EQ(Y(128, kDataLen), Words(ringRead.begin() + 128, ringRead.end()));
        // Source 1 takes the thresholds into valREF1/2 but draws the lines the arrays held.
        EXPECT_EQ(std::vector<int>({valREF1, valREF2}),
                  (source ? std::vector{333, 444} : std::vector{1, 2}));
        // The cursors at T1 and T2 of the measurement frame taken before the blocks.
        ExpectMode(source, ref1.data(), ref2.data(), 30, 80);
    }
}

// A threshold change redraws the mode of the graph source with new reference lines; each row
// also places the cursors from the T1val, T2val and actual index it sets.
TEST_F(DataBlockView, ThresholdChangeRedrawsAndCursorsStayInTheGraph) {
    const struct {
        int control, value, source, x1, x2; // cursor x; y is the data word there, raw mode (1, 1)
        unsigned short t1, t2, index, t1After, t2After;
    } rows[] = {
        {PANEL_NUM_THRESHOLD1, 750, 1, 1, 128, 0, 300, 0, 1, 128},
        {PANEL_NUM_THRESHOLD2, 65535, 0, 1, 1, 0, 65535, 0, 1, 128},
        {PANEL_NUM_THRESHOLD1, 40, 2, 254, 254, 5, 6, 0, 254, 6},
        {PANEL_NUM_THRESHOLD2, 41, 2, 0, 0, 5, 6, 1, 0, 6},
        {PANEL_NUM_THRESHOLD1, 42, 2, 254, 254, 5, 300, 255, 254, 128},
        {PANEL_NUM_THRESHOLD2, 43, 2, 254, 254, 5, 6, 65535, 254, 6},
    };
    for (int i = 0; i < kDataLen; ++i)
        yArrayA[i] = static_cast<unsigned short>(1000 - 3 * i);
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "source " << row.source << " index " << row.index);
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, row.source);
        // As during a live loop: both strip charts shown, the graph hidden.
        for (int control : {PANEL_STRIPCHART_RAW, PANEL_STRIPCHART_NORM, PANEL_GRAPH_DATA})
            SetCtrlAttribute(panelHandle, control, kAttrVisible, control != PANEL_GRAPH_DATA);
        std::fill(refArray1 + 128, refArray1 + kCurveLen, 1111);
        std::fill(refArray2 + 128, refArray2 + kCurveLen, 2222);
        yArrayA[kRingIndexWord] = row.index;
        T1val = row.t1;
        T2val = row.t2;
        const auto thd = std::pair(thd1, thd2);
        op::EnterNumber(panelHandle, row.control, row.value);
        Words ref1(kCurveLen, 1111), ref2(kCurveLen, 2222);
        std::fill_n(ref1.begin(), 128, op::IntValue(panelHandle, PANEL_NUM_THRESHOLD1));
        std::fill_n(ref2.begin(), 128, op::IntValue(panelHandle, PANEL_NUM_THRESHOLD2));
        EXPECT_EQ(Words(refArray1, refArray1 + kCurveLen), ref1);
        EXPECT_EQ(Words(refArray2, refArray2 + kCurveLen), ref2);
        EXPECT_EQ(std::pair(thd1, thd2), thd);
        EXPECT_FALSE(op::Visible(panelHandle, PANEL_STRIPCHART_RAW) ||
                     op::Visible(panelHandle, PANEL_STRIPCHART_NORM));
        ExpectMode(row.source, row.source == 2 ? thdArray : ref1.data(), ref2.data(), row.x1,
                   row.x2);
        // The clamped values stay in the variables.
        EXPECT_EQ(std::pair(T1val, T2val), std::pair(row.t1After, row.t2After));
    }
}

} // namespace
} // namespace evok
