// Operator input becomes events in the order the system relies on; program writes raise none; a
// callback that processes events or discards its own panel is safe.
#include "panel_test_support.h"

#include "runtime/events.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QPointer>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QTimer>

#include <chrono>

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
void UpArrow(int, QWidget* w) {
    QStyleOptionSpinBox opt;
    opt.initFrom(w);
    const QRect up = w->style()->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxUp, w);
    QTest::mouseClick(w, Qt::LeftButton, {}, up.center());
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
    {"ClickOnASpinBoxUpArrow", PANEL_NUM_THRESHOLD1, UpArrow, {LC, VC, C}, 901},
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
    EXPECT_EQ(c.valueAfter < 0 ? -1 : Value(main, c.control), c.valueAfter);
    EXPECT_TRUE(PanelWidget(main)->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Cases, PanelInput, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.what); });

class PanelEvents : public PanelFixture {};

// The live loop: a commit callback that keeps processing events until Stop is pressed. Stop and
// the timer are served meanwhile.
TEST_F(PanelEvents, ACallbackProcessingEventsStillGetsStopAndTimerTicks) {
    onEvent = [this](const Event& e) {
        if (e.control != PANEL_BTNRUN || e.event != kEvCommit) return;
        QTimer::singleShot(300, [this] { Click(main, CtrlWidget(main, PANEL_BTNSTOP)); });
        const auto start = std::chrono::steady_clock::now();
        while (EventsOf(main, PANEL_BTNSTOP).size() < 2 &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
            ProcessSystemEvents();
    };
    Click(main, CtrlWidget(main, PANEL_BTNRUN)); // returns when the loop has ended
    EXPECT_EQ(EventsOf(main, PANEL_BTNSTOP), (std::vector<int>{kEvLeftClick, kEvCommit}));
    EXPECT_GE(EventsOf(main, PANEL_TIMER50MS).size(), 3u); // 50 ms ticks in 0.3 s
}

// Discarding the panel on the left click or on the commit of one of its buttons: nothing follows.
TEST_F(PanelEvents, APanelDiscardedFromItsOwnCallbackGoesAwaySafely) {
    const std::vector<int> cases[] = {{kEvLeftClick}, {kEvLeftClick, kEvCommit}};
    for (const std::vector<int>& teach : cases) {
        const int panel = main;
        recorded.clear();
        onEvent = [panel, teach](const Event& e) {
            if (e.control != PANEL_BTNTEACH || e.event != teach.back()) return;
            EXPECT_EQ(DiscardPanel(panel), 0);
            EXPECT_EQ(SetCtrlVal(panel, PANEL_STATUS, "gone"), kPanelErrPanel);
            Pump(); // a nested pump after it
        };
        QPointer<QWidget> window = PanelWidget(panel);
        Click(panel, CtrlWidget(panel, PANEL_BTNTEACH));
        Pump();
        EXPECT_EQ(EventsOf(panel, PANEL_BTNTEACH), teach);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull());
        main = LoadPanel(0, kPanelFile, PANEL);
    }
}

} // namespace
