// The panel service with real widgets, offscreen: operator input becomes events in the order the
// system relies on; program writes raise none; closing the panel raises close and leaves the
// window open. What the program writes shows on screen and reads back (out-of-range values
// clamped, no text beyond the caller's buffer); what it plots is what the charts show.
#include "panel_test_support.h"
#include "runtime/events.h"
#include "runtime/show_pace.h"
#include "tests/harness/operator.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEventLoop>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <numeric>
#include <thread>
#include <tuple>

using namespace paneltest;
using namespace evok;

namespace {

void Click(int, QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2));
}
void Space(int, QWidget* w) {
    w->setFocus();
    QTest::keyClick(w, Qt::Key_Space);
}
void DimAndClick(int panel, QWidget* w) {
    SetCtrlAttribute(panel, PANEL_BTNRUN, kAttrDimmed, 1);
    Click(panel, w);
}
void TypeAndEnter(int, QWidget* w) {
    w->setFocus();
    static_cast<QSpinBox*>(w)->selectAll();
    QTest::keyClicks(w, "1234");
    QTest::keyClick(w, Qt::Key_Return);
}
void PickThirdItem(int, QWidget* w) {
    static_cast<QComboBox*>(w)->showPopup();
    QAbstractItemView* list = static_cast<QComboBox*>(w)->view();
    const QRect item = list->visualRect(list->model()->index(2, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
}
void ProgramWrites(int panel, QWidget*) {
    SetCtrlVal(panel, PANEL_NUM_THRESHOLD1, 123);
    SetCtrlVal(panel, PANEL_RBTEEPROM, 1);
    SetCtrlAttribute(panel, PANEL_BTNRUN, kAttrDimmed, 1);
    SetCtrlAttribute(panel, PANEL_NUM_THRESHOLD1, kAttrVisible, 0);
}

struct InputCase {
    const char* what;
    int control; // on the main panel; 0: the panel window
    void (*input)(int panel, QWidget* w);
    std::vector<int> events;
    int valueAfter; // -1: not checked
    friend void PrintTo(const InputCase& c, std::ostream* os) { *os << c.what; }
};

constexpr int LC = kEvLeftClick, VC = kEvValueChanged, C = kEvCommit;

const InputCase kInputs[] = {
    {"ClickOnAButton", PANEL_BTNTEACH, Click, {LC, C}, -1},
    {"SpaceOnAFocusedButton", PANEL_BTNTEACH, Space, {C}, -1},
    {"ClickOnADimmedButton", PANEL_BTNRUN, DimAndClick, {}, -1},
    {"NumberTypedIntoASpinBoxAndEnter", PANEL_NUM_THRESHOLD1, TypeAndEnter, {VC, C}, 1234},
    {"RingItemChosenInTheList", PANEL_RNGGRAPHSOURCE, PickThirdItem, {VC, C}, 2},
    {"ClickOnARadioButton", PANEL_RBTEEPROM, Click, {LC, VC, C}, 1},
    {"ClickOnTheToggleButton", PANEL_TOGBTNPARAII, Click, {LC, VC, C}, 1},
    {"CloseThePanel", 0, [](int, QWidget* w) { EXPECT_FALSE(w->close()); }, {kEvClose}, -1},
    {"ProgramWritesValuesAndAttributes", PANEL_NUM_THRESHOLD1, ProgramWrites, {}, 123}};

class PanelInput : public PanelFixture, public ::testing::WithParamInterface<InputCase> {};

TEST_P(PanelInput, RaisesTheEventsInOrder) {
    const InputCase& c = GetParam();
    c.input(main, c.control ? CtrlWidget(main, c.control) : PanelWidget(main));
    Pump();
    EXPECT_EQ(EventsOf(main, c.control), c.events);
    for (const Event& e : recorded) // nothing else but the timer's ticks
        EXPECT_TRUE(e.control == c.control || e.control == PANEL_TIMER50MS) << e.control;
    EXPECT_EQ(c.valueAfter < 0 ? -1 : op::IntValue(main, c.control), c.valueAfter);
    EXPECT_TRUE(PanelWidget(main)->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Cases, PanelInput, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.what); });

constexpr int kValue = 0; // the row writes the control's value, not an attribute

QPoint OnPanel(QWidget* w) {
    return w->mapTo(w->window(), QPoint(0, 0));
}

class PanelAttributes : public PanelFixture {};

// Positions are pixels from the panel's top-left corner, also for controls inside a group.
TEST_F(PanelAttributes, ShowOnScreenAndReadBack) {
    const struct {
        const char* what;
        int control, attribute, written, result, readBack;
        bool (*seen)(QWidget*); // null: nothing to look at
    } rows[] = {
        {"numeric above its range", PANEL_NUM_SDELAY, kValue, 70000, 0, 65535,
         [](QWidget* w) { return static_cast<QSpinBox*>(w)->text() == "65535"; }},
        {"ring value no item has", PANEL_RNGGRAPHSOURCE, kValue, 7, kPanelErrAttribute, 0, nullptr},
        {"radio", PANEL_RBTEEPROM, kValue, 5, 0, 1, nullptr},
        {"hidden", PANEL_LOGO, kAttrVisible, 0, 0, 0, [](QWidget* w) { return !w->isVisible(); }},
        {"dimmed", PANEL_BTNDATA, kAttrDimmed, 1, 0, 1, [](QWidget* w) { return !w->isEnabled(); }},
        {"header colour", PANEL_HEADER, kAttrFrameColor, 0x808080, 0, 0x808080,
         [](QWidget* w) { return w->grab().toImage().pixelColor(900, 30) == QColor(0x808080); }},
        {"left", PANEL_LOGO, kAttrLeft, 470, 0, 470,
         [](QWidget* w) { return OnPanel(w).x() == 470; }},
        {"top in a group", PANEL_NUM_SDELAY, kAttrTop, 250, 0, 250,
         [](QWidget* w) { return OnPanel(w).y() == 250; }}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const bool value = row.attribute == kValue;
        EXPECT_EQ(value ? SetCtrlVal(main, row.control, row.written)
                        : SetCtrlAttribute(main, row.control, row.attribute, row.written),
                  row.result);
        int v = -1;
        EXPECT_EQ(value ? GetCtrlVal(main, row.control, &v)
                        : GetCtrlAttribute(main, row.control, row.attribute, &v),
                  0);
        EXPECT_EQ(v, row.readBack);
        EXPECT_TRUE(!row.seen || row.seen(CtrlWidget(main, row.control)));
    }

    char text[20] = "untouched";
    ASSERT_EQ(SetCtrlVal(main, PANEL_STATUS, "Timeout RS232-Line!"), 0);
    EXPECT_EQ(GetCtrlVal(main, PANEL_STATUS, text, 19), kPanelErrBufferSize); // no room for '\0'
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(GetCtrlVal(main, PANEL_STATUS, text, sizeof text), 0);
    EXPECT_STREQ(text, "Timeout RS232-Line!");
}

// As the live loop does it: the points per screen, then the whole 100-point history, each time.
TEST_F(PanelAttributes, StripChartShowsTheNewest101PointsAfterAppendsOf100) {
    std::vector<double> history(100), expected(101);
    for (int call = 0; call < 3; ++call) {
        std::iota(history.begin(), history.end(), call * 100.0);
        SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrPointsPerScreen, 101);
        PlotStripChart(main, PANEL_STRIPCHART_RAW, history.data(), 100, 0, 0, kTypeDouble);
    }
    std::iota(expected.begin(), expected.end(), 199.0);
    EXPECT_EQ(StripChartShownPoints(main, PANEL_STRIPCHART_RAW), expected);
}

// Each new picture of a strip chart repaints only where its trace runs; the screen must still be
// pixel for pixel the chart painted whole, however the trace moves (the panel is partly
// scrolled out of this small screen, as a chart can be).
TEST_F(PanelAttributes, StripChartPicturesEqualTheChartPaintedWhole) {
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        int autoscale, scrollMode, perCall; // perCall: points per PlotStripChart (100: history)
        double (*value)(int n);
    } rows[] = {
        {"a signal that moves a little", 1, 1, 100,
         [](int n) { return 780 + 8 * std::sin(n / 9.0); }},
        {"dips across most of the chart", 1, 1, 100,
         [](int n) { return n % 23 < 4 ? 120.0 : 760 + 5.0 * (n % 3); }},
        {"a gap where a value is not a number", 1, 1, 100,
         [](int n) { return n % 17 == 5 ? kNan : 500 + 40 * std::cos(n / 5.0); }},
        {"values beyond the range, cut off", 0, 1, 100,
         [](int n) { return n % 11 < 3   ? 1e9 - n
                            : n % 11 < 6 ? -5e8
                                         : 300.0 + n; }},
        {"page by page, a point at a time", 0, 0, 1,
         [](int n) { return 400 + 300 * std::sin(n / 7.0); }},
    };
    std::vector<double> history(100);
    // Every write drawn at once, for this test alone.
    struct Gap {
        Gap() { SetShowGapForTesting(0); }
        ~Gap() { SetShowGapForTesting(panelsvc::kShowGapMs); }
    } gap;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (int n = 0; n < 60; ++n) {
            // As the live loop does it: the history moved by one, the newest value at its end.
            std::rotate(history.begin(), history.begin() + 1, history.end());
            history.back() = row.value(n);
            SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrPointsPerScreen, 101);
            SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrScrollMode, row.scrollMode);
            SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrStripAutoscale, row.autoscale);
            PlotStripChart(main, PANEL_STRIPCHART_RAW, history.data() + 100 - row.perCall,
                           row.perCall, 0, 0, kTypeDouble);
            Pump();
            ASSERT_EQ(op::ScreenDifference(main), 0) << "picture " << n;
        }
    }
}

// The data-block view: cursors set, every plot deleted, a dashed line and a red curve drawn anew.
TEST_F(PanelAttributes, GraphHoldsPlotsAndCursorsAcrossDeleteAndPlot) {
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

// The 50 ms timer's ticks are counted by the clock and handed over together: whatever program code
// runs next (a callback, the code after an event pump pass) has seen every tick that came due, and
// in an idle main loop they come within a second.
TEST_F(PanelAttributes, EveryDueTimerTickComesBeforeWhatRunsNext) {
    using Clock = std::chrono::steady_clock;
    const auto ticksIn = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count() / 50;
    };
    // What runs next: 'c' a click or 'p' an event pump pass after 260 ms busy (no events
    // processed); '-' nothing after 1.2 s idle in the main loop (the ticks may be 1 s late).
    for (const char then : {'c', 'p', '-'}) {
        SCOPED_TRACE(then);
        const int waitMs = then == '-' ? 1200 : 260;
        SetCtrlAttribute(main, PANEL_TIMER50MS, kAttrDimmed, 1); // counting starts when enabled
        const Clock::time_point beforeStart = Clock::now();
        SetCtrlAttribute(main, PANEL_TIMER50MS, kAttrDimmed, 0);
        const Clock::time_point afterStart = Clock::now();
        recorded.clear();
        QEventLoop mainLoop;
        QTimer::singleShot(waitMs, Qt::PreciseTimer, &mainLoop, &QEventLoop::quit);
        if (then == '-')
            mainLoop.exec();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        const auto beforeNext = Clock::now() - std::chrono::seconds(then == '-');
        if (then == 'c') Click(main, CtrlWidget(main, PANEL_BTNRUN));
        if (then == 'p') ProcessSystemEvents();
        long ticks = 0; // before anything else was raised
        while (ticks < std::ssize(recorded) && recorded[ticks].control == PANEL_TIMER50MS)
            EXPECT_EQ(recorded[ticks++].event, kEvTimerTick);
        EXPECT_GE(ticks, ticksIn(afterStart, beforeNext));
        EXPECT_LE(ticks, ticksIn(beforeStart, Clock::now()));
        EXPECT_EQ(ticks < std::ssize(recorded), then == 'c'); // the click's events follow
    }
}

} // namespace
