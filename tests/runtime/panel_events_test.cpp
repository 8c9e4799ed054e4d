// Operator input becomes events in the order the system relies on; program writes raise none;
// callbacks that process events, dim, hide or discard things from inside a callback are safe.
#include "panel_test_support.h"

#include "runtime/events.h"

#include <QComboBox>
#include <QListView>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <chrono>
#include <string>

using namespace paneltest;
using namespace evok;

namespace {

QPoint SpinArrow(QSpinBox* spin, QStyle::SubControl which) {
    QStyleOptionSpinBox opt;
    opt.initFrom(spin);
    opt.frame = true;
    opt.subControls = QStyle::SC_All;
    opt.buttonSymbols = spin->buttonSymbols();
    opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    return spin->style()->subControlRect(QStyle::CC_SpinBox, &opt, which, spin).center();
}

void TypeIntoSpin(QSpinBox* spin, const char* digits) {
    // The operator works in the panel's window: make it the active one so focus moves for real.
    QApplication::setActiveWindow(spin->window());
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, digits);
}

struct InputCase {
    const char* what;
    int panel; // PANEL or POPUP
    int control;
    std::function<void(QWidget*)> input;
    std::vector<int> events;
    int valueAfter; // -1: not checked
};

void PrintTo(const InputCase& c, std::ostream* os) {
    *os << c.what;
}

const InputCase kInputs[] = {
    {"mouse click on a button",
     PANEL,
     PANEL_BTNTEACH,
     [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); },
     {kEvLeftClick, kEvCommit},
     -1},
    {"space key on a focused button",
     PANEL,
     PANEL_BTNTEACH,
     [](QWidget* w) {
         w->setFocus();
         QTest::keyClick(w, Qt::Key_Space);
     },
     {kEvCommit},
     -1},
    {"right click on a button",
     PANEL,
     PANEL_BTNSEND,
     [](QWidget* w) { QTest::mouseClick(w, Qt::RightButton); },
     {},
     -1},
    {"mouse click on a para II button",
     POPUP,
     POPUP_BTNGETDATA,
     [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); },
     {kEvLeftClick, kEvCommit},
     -1},
    {"number typed into a spin box and Enter",
     PANEL,
     PANEL_NUM_THRESHOLD1,
     [](QWidget* w) {
         TypeIntoSpin(static_cast<QSpinBox*>(w), "1234");
         QTest::keyClick(w, Qt::Key_Return);
     },
     {kEvValueChanged, kEvCommit},
     1234},
    {"number typed and the spin box left (focus out)",
     PANEL,
     PANEL_NUM_THRESHOLD2,
     [](QWidget* w) {
         TypeIntoSpin(static_cast<QSpinBox*>(w), "77");
         QTest::keyClick(w, Qt::Key_Tab); // on to the next field
     },
     {kEvValueChanged, kEvCommit},
     77},
    {"same number typed again and Enter",
     PANEL,
     PANEL_NUM_THRESHOLD1,
     [](QWidget* w) {
         TypeIntoSpin(static_cast<QSpinBox*>(w), "900");
         QTest::keyClick(w, Qt::Key_Return);
     },
     {},
     900},
    {"click on the spin box's up arrow",
     PANEL,
     PANEL_NUM_THRESHOLD1,
     [](QWidget* w) {
         QTest::mouseClick(w, Qt::LeftButton, {},
                           SpinArrow(static_cast<QSpinBox*>(w), QStyle::SC_SpinBoxUp));
     },
     {kEvLeftClick, kEvValueChanged, kEvCommit},
     901},
    {"cursor-down key in a spin box",
     PANEL,
     PANEL_NUM_THRESHOLD2,
     [](QWidget* w) {
         w->setFocus();
         QTest::keyClick(w, Qt::Key_Down);
     },
     {kEvValueChanged, kEvCommit},
     599},
    {"click into a spin box's text field",
     PANEL,
     PANEL_NUM_THRESHOLD2,
     [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(10, w->height() / 2)); },
     {kEvLeftClick},
     600},
    {"mouse wheel over a spin box",
     PANEL,
     PANEL_NUM_THRESHOLD1,
     [](QWidget* w) {
         const QPointF at(w->width() / 2.0, w->height() / 2.0);
         QWheelEvent wheel(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                           Qt::NoModifier, Qt::NoScrollPhase, false);
         QApplication::sendEvent(w, &wheel);
     },
     {kEvValueChanged, kEvCommit},
     901},
    {"ring item chosen with the keyboard",
     PANEL,
     PANEL_RNGGRAPHSOURCE,
     [](QWidget* w) {
         w->setFocus();
         QTest::keyClick(w, Qt::Key_Down);
     },
     {kEvValueChanged, kEvCommit},
     1},
    {"ring item chosen with the mouse in the list",
     PANEL,
     PANEL_RNGGRAPHSOURCE,
     [](QWidget* w) {
         auto* ring = static_cast<QComboBox*>(w);
         QTest::mouseClick(ring, Qt::LeftButton); // opens the list
         QAbstractItemView* list = ring->view();
         QTRY_VERIFY(list->isVisible());
         // A list opened by a click ignores a release within the double-click time.
         QTest::qWait(QApplication::doubleClickInterval() + 100);
         const QRect item = list->visualRect(list->model()->index(2, 0));
         QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
     },
     {kEvLeftClick, kEvValueChanged, kEvCommit},
     2},
    {"same ring item chosen again",
     PANEL,
     PANEL_RNGGRAPHSOURCE,
     [](QWidget* w) {
         auto* ring = static_cast<QComboBox*>(w);
         ring->showPopup();
         QAbstractItemView* list = ring->view();
         QTRY_VERIFY(list->isVisible());
         const QRect item = list->visualRect(list->model()->index(0, 0));
         QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
     },
     {kEvValueChanged, kEvCommit},
     0},
    {"port chosen with the keyboard",
     PANEL,
     PANEL_DROPDCOM,
     [](QWidget* w) {
         w->setFocus();
         QTest::keyClick(w, Qt::Key_Down);
     },
     {kEvValueChanged, kEvCommit},
     2},
    {"click on a radio button that is off",
     PANEL,
     PANEL_RBTEEPROM,
     [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2)); },
     {kEvLeftClick, kEvValueChanged, kEvCommit},
     1},
    {"click on the radio button that is on",
     PANEL,
     PANEL_RBTRAM,
     [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2)); },
     {kEvLeftClick, kEvValueChanged, kEvCommit},
     0},
    {"click on the toggle button",
     PANEL,
     PANEL_TOGBTNPARAII,
     [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); },
     {kEvLeftClick, kEvValueChanged, kEvCommit},
     1},
    {"space key on the toggle button",
     PANEL,
     PANEL_TOGBTNPARAII,
     [](QWidget* w) {
         w->setFocus();
         QTest::keyClick(w, Qt::Key_Space);
     },
     {kEvValueChanged, kEvCommit},
     1},
};

class PanelInput : public PanelFixture, public ::testing::WithParamInterface<InputCase> {};

TEST_P(PanelInput, RaisesTheEventsInOrder) {
    const InputCase& c = GetParam();
    DisplayPanel(popup);
    Pump();
    Log().clear();
    const int panel = c.panel == PANEL ? main : popup;
    QWidget* w = Ctrl(panel, c.control);
    ASSERT_NE(w, nullptr);
    c.input(w);
    Pump();
    EXPECT_EQ(EventsOf(panel, c.control), c.events);
    for (const Event& e : Log()) { // nothing else but the timer's ticks
        if (!(e.panel == panel && e.control == c.control)) {
            EXPECT_EQ(e.control, PANEL_TIMER50MS)
                << "control " << e.control << " event " << e.event;
        }
    }
    if (c.valueAfter >= 0) {
        int v = -1;
        EXPECT_EQ(GetCtrlVal(panel, c.control, &v), 0);
        EXPECT_EQ(v, c.valueAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PanelInput, ::testing::ValuesIn(kInputs),
                         [](const ::testing::TestParamInfo<InputCase>& info) {
                             std::string name = info.param.what;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

class PanelEvents : public PanelFixture {};

TEST_F(PanelEvents, TypingIntoASpinBoxRaisesNothingUntilTheEditIsCommitted) {
    auto* spin = static_cast<QSpinBox*>(Ctrl(main, PANEL_NUM_THRESHOLD1));
    TypeIntoSpin(spin, "432");
    Pump();
    EXPECT_TRUE(EventsOf(main, PANEL_NUM_THRESHOLD1).empty());
    QTest::keyClick(spin, Qt::Key_Enter);
    EXPECT_EQ(EventsOf(main, PANEL_NUM_THRESHOLD1), (std::vector<int>{kEvValueChanged, kEvCommit}));
    unsigned short v = 0;
    GetCtrlVal(main, PANEL_NUM_THRESHOLD1, &v);
    EXPECT_EQ(v, 432);
}

TEST_F(PanelEvents, ClosingAPanelRaisesCloseAndLeavesItOpen) {
    DisplayPanel(popup);
    Pump();
    Log().clear();
    EXPECT_FALSE(PanelWidget(main)->close());
    EXPECT_FALSE(PanelWidget(popup)->close());
    Pump();
    EXPECT_EQ(EventsOf(main, 0), std::vector<int>{kEvClose});
    EXPECT_EQ(EventsOf(popup, 0), std::vector<int>{kEvClose});
    EXPECT_TRUE(PanelWidget(main)->isVisible());
    EXPECT_TRUE(PanelWidget(popup)->isVisible());
}

TEST_F(PanelEvents, TheTimerTicksAtItsInterval) {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    while (clock::now() - start < std::chrono::milliseconds(500))
        QCoreApplication::processEvents();
    const auto ticks = EventsOf(main, PANEL_TIMER50MS);
    // 0.05 s: about 10 ticks in half a second (a loaded machine may lose a few).
    EXPECT_GE(ticks.size(), 6u);
    EXPECT_LE(ticks.size(), 11u);
    for (int e : ticks)
        EXPECT_EQ(e, kEvTimerTick);
}

TEST_F(PanelEvents, ProgramWritesRaiseNoEvent) {
    DisplayPanel(popup);
    Pump();
    Log().clear();
    SetCtrlVal(main, PANEL_NUM_THRESHOLD1, 123);
    SetCtrlVal(main, PANEL_NUM_THRESHOLD2, static_cast<unsigned short>(456));
    SetCtrlVal(main, PANEL_RNGGRAPHSOURCE, 2);
    SetCtrlVal(main, PANEL_DROPDCOM, 5);
    SetCtrlVal(main, PANEL_RBTEEPROM, 1);
    SetCtrlVal(main, PANEL_RBTRAM, 0);
    SetCtrlVal(main, PANEL_TOGBTNPARAII, 1);
    SetCtrlVal(main, PANEL_STATUS, "text");
    SetCtrlVal(popup, POPUP_TRIGMODE, 3);
    SetCtrlAttribute(main, PANEL_BTNRUN, kAttrDimmed, 1);
    SetCtrlAttribute(main, PANEL_BTNRUN, kAttrDimmed, 0);
    SetCtrlAttribute(main, PANEL_NUM_THRESHOLD1, kAttrVisible, 0);
    SetCtrlAttribute(main, PANEL_NUM_THRESHOLD1, kAttrVisible, 1);
    HidePanel(popup);
    DisplayPanel(popup);
    Pump();
    for (const Event& e : Log())
        EXPECT_EQ(e.control, PANEL_TIMER50MS) << "event " << e.event;
}

TEST_F(PanelEvents, ADimmedControlTakesNoInput) {
    SetCtrlAttribute(main, PANEL_BTNRUN, kAttrDimmed, 1);
    SetCtrlAttribute(main, PANEL_NUM_THRESHOLD1, kAttrDimmed, 1);
    QTest::mouseClick(Ctrl(main, PANEL_BTNRUN), Qt::LeftButton);
    auto* spin = static_cast<QSpinBox*>(Ctrl(main, PANEL_NUM_THRESHOLD1));
    QTest::mouseClick(spin, Qt::LeftButton, {}, SpinArrow(spin, QStyle::SC_SpinBoxUp));
    Pump();
    EXPECT_TRUE(EventsOf(main, PANEL_BTNRUN).empty());
    EXPECT_TRUE(EventsOf(main, PANEL_NUM_THRESHOLD1).empty());
    SetCtrlAttribute(main, PANEL_BTNRUN, kAttrDimmed, 0);
    QTest::mouseClick(Ctrl(main, PANEL_BTNRUN), Qt::LeftButton);
    EXPECT_EQ(EventsOf(main, PANEL_BTNRUN), (std::vector<int>{kEvLeftClick, kEvCommit}));
}

TEST_F(PanelEvents, ALeftClickCallbackThatDimsItsButtonGetsNoCommit) {
    OnEvent() = [this](const Event& e) {
        if (e.control == PANEL_BTNRUN && e.event == kEvLeftClick)
            SetCtrlAttribute(main, PANEL_BTNRUN, kAttrDimmed, 1);
    };
    QTest::mouseClick(Ctrl(main, PANEL_BTNRUN), Qt::LeftButton);
    Pump();
    EXPECT_EQ(EventsOf(main, PANEL_BTNRUN), std::vector<int>{kEvLeftClick});
}

// The live loop: a commit callback that keeps processing events until Stop is pressed. Stop,
// the timer and other controls are served meanwhile; the loop's own button does not re-enter.
TEST_F(PanelEvents, ACallbackProcessingEventsServesOtherControlsMeanwhile) {
    bool stopped = false;
    int runDepth = 0, maxRunDepth = 0;
    int ticksDuringRun = 0;
    OnEvent() = [&](const Event& e) {
        if (e.control == PANEL_TIMER50MS && runDepth > 0) ++ticksDuringRun;
        if (e.control == PANEL_BTNSTOP && e.event == kEvCommit) stopped = true;
        if (e.control == PANEL_BTNRUN && e.event == kEvCommit) {
            ++runDepth;
            maxRunDepth = std::max(maxRunDepth, runDepth);
            SetCtrlAttribute(main, PANEL_BTNRUN, kAttrDimmed, 1);
            QTimer::singleShot(
                300, [this] { QTest::mouseClick(Ctrl(main, PANEL_BTNSTOP), Qt::LeftButton); });
            QTimer::singleShot(
                100, [this] { QTest::mouseClick(Ctrl(main, PANEL_BTNRUN), Qt::LeftButton); });
            const auto start = std::chrono::steady_clock::now();
            while (!stopped && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
                ProcessSystemEvents();
            SetCtrlAttribute(main, PANEL_BTNRUN, kAttrDimmed, 0);
            --runDepth;
        }
    };
    QTest::mouseClick(Ctrl(main, PANEL_BTNRUN), Qt::LeftButton);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(maxRunDepth, 1);
    EXPECT_GE(ticksDuringRun, 3);
    EXPECT_EQ(EventsOf(main, PANEL_BTNSTOP), (std::vector<int>{kEvLeftClick, kEvCommit}));
    EXPECT_EQ(EventsOf(main, PANEL_BTNRUN), (std::vector<int>{kEvLeftClick, kEvCommit}));
}

TEST_F(PanelEvents, ATimerCallbackThatProcessesEventsIsNotReentered) {
    int depth = 0, maxDepth = 0, ticks = 0;
    OnEvent() = [&](const Event& e) {
        if (e.control != PANEL_TIMER50MS) return;
        ++ticks;
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(160))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        --depth;
    };
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(400))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_GE(ticks, 1);
    EXPECT_EQ(maxDepth, 1);
}

// The operator lets go of the button while its left-click callback is still busy: the button
// does not stay pressed, and the commit still follows.
TEST_F(PanelEvents, ReleaseDuringALeftClickCallbackStillGivesOneCommit) {
    auto* send = static_cast<QPushButton*>(Ctrl(main, PANEL_BTNSEND));
    OnEvent() = [&](const Event& e) {
        if (e.control != PANEL_BTNSEND || e.event != kEvLeftClick) return;
        const QPoint at = send->rect().center();
        QCoreApplication::postEvent(send, new QMouseEvent(QEvent::MouseButtonRelease, at,
                                                          send->mapToGlobal(at), Qt::LeftButton,
                                                          Qt::NoButton, Qt::NoModifier));
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    QTest::mousePress(send, Qt::LeftButton);
    Pump();
    EXPECT_FALSE(send->isDown());
    EXPECT_EQ(EventsOf(main, PANEL_BTNSEND), (std::vector<int>{kEvLeftClick, kEvCommit}));
}

struct DiscardCase {
    const char* what;
    int event; // the callback discards the main panel on this event of Teach (0: on close)
    std::vector<int> teachEvents;
};

void PrintTo(const DiscardCase& c, std::ostream* os) {
    *os << c.what;
}

class PanelDiscardInCallback : public PanelFixture,
                               public ::testing::WithParamInterface<DiscardCase> {};

TEST_P(PanelDiscardInCallback, IsSafe) {
    const DiscardCase& c = GetParam();
    const int panel = main;
    OnEvent() = [&](const Event& e) {
        if (e.panel != panel) return;
        const bool onClose = c.event == 0 && e.control == 0 && e.event == kEvClose;
        const bool onTeach = c.event != 0 && e.control == PANEL_BTNTEACH && e.event == c.event;
        if (onClose || onTeach) {
            EXPECT_EQ(DiscardPanel(panel), 0);
            EXPECT_EQ(SetCtrlVal(panel, PANEL_STATUS, "gone"), kPanelErrPanel);
            for (int i = 0; i < 3; ++i)
                QCoreApplication::processEvents(); // nested pump after it
        }
    };
    QPointer<QWidget> window = PanelWidget(panel);
    if (c.event == 0)
        window->close();
    else
        QTest::mouseClick(Ctrl(panel, PANEL_BTNTEACH), Qt::LeftButton);
    Pump();
    EXPECT_EQ(PanelWidget(panel), nullptr);
    EXPECT_TRUE(!window || !window->isVisible());
    EXPECT_EQ(EventsOf(panel, PANEL_BTNTEACH), c.teachEvents);
    FlushDeferredDeletes();
    EXPECT_TRUE(window.isNull()) << "the discarded window is deleted once no callback runs";
    main = LoadPanel(0, kPanelFile, PANEL); // for TearDown
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PanelDiscardInCallback,
    ::testing::Values(DiscardCase{"on_close", 0, {}},
                      DiscardCase{"on_commit", kEvCommit, {kEvLeftClick, kEvCommit}},
                      DiscardCase{"on_left_click", kEvLeftClick, {kEvLeftClick}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(PanelEvents, DiscardOutsideAnyCallbackDeletesTheWindowAtOnce) {
    QPointer<QWidget> window = PanelWidget(popup);
    EXPECT_EQ(DiscardPanel(popup), 0);
    EXPECT_TRUE(window.isNull());
    popup = LoadPanel(0, kPanelFile, POPUP);
}

} // namespace
