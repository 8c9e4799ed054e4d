// The indicators the live view writes many times a second draw themselves: on screen each must
// look exactly like the read-only spin box it stands for, whatever it showed before, and the
// spin box's own value and text (what assistive tools read) must follow.
#include "panel_test_support.h"
#include "runtime/indicator.h"
#include "runtime/show_pace.h"
#include "runtime/timing.h"
#include "tests/harness/operator.h"

#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>

#include <memory>
#include <numeric>

using namespace paneltest;
using namespace evok;

namespace {

// A plain read-only spin box in the indicator's place, with everything that shapes its look.
std::unique_ptr<QSpinBox> SpinBoxLike(const QSpinBox* indicator, int value) {
    auto box = std::make_unique<QSpinBox>(indicator->parentWidget());
    for (const char* property :
         {"geometry", "readOnly", "buttonSymbols", "focusPolicy", "minimum", "maximum", "alignment",
          "font", "palette", "autoFillBackground", "enabled"})
        box->setProperty(property, indicator->property(property));
    box->setValue(value);
    box->show();
    return box;
}

// Counts the paints a widget gets.
struct Paints : QObject {
    explicit Paints(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

class Indicators : public PanelFixture {};

TEST_F(Indicators, LookLikeTheirSpinBoxAndItsValueFollows) {
    constexpr int kShown = panelsvc::kShowGapMs + 20; // each value shown before the next
    std::vector<int> fast(120);                       // written faster than they are drawn
    std::iota(fast.begin(), fast.end(), 1);
    const struct {
        const char* what;
        bool onMain;
        int control;
        std::vector<int> written; // the last one is on screen
        int everyMs;
        int attribute, attributeValue; // attribute 0: none
        int shown;
    } rows[] = {
        {"first value", true, PANEL_VAL_NORMA, {812}, kShown, 0, 0, 812},
        {"short value after a long one", true, PANEL_VAL_ADCCHA, {65535, 7}, kShown, 0, 0, 7},
        {"above the range", true, PANEL_VAL_AMAX, {70000}, kShown, 0, 0, 65535},
        {"dimmed", true, PANEL_VAL_T2, {123}, kShown, kAttrDimmed, 1, 123},
        {"text colour", true, PANEL_IN0, {1}, kShown, kAttrTextColor, 0xFF0000, 1},
        {"bold text", true, PANEL_VAL_DT, {4711}, kShown, kAttrTextBold, 1, 4711},
        {"written every 5 ms", true, PANEL_VAL_T1, fast, 5, 0, 0, 120},
        {"on the pop-up panel", false, POPUP_RINGINDEX, {101}, kShown, 0, 0, 101}};
    DisplayPanel(popup);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const int panel = row.onMain ? main : popup;
        const Paints paints(CtrlWidget(panel, row.control));
        const double t0 = Timer();
        for (int value : row.written) {
            SetCtrlVal(panel, row.control, value);
            QTest::qWait(row.everyMs);
        }
        // Drawn at most once a gap; the last value soon after, though nothing follows it.
        EXPECT_LE(paints.count, (Timer() - t0) * 1000 / panelsvc::kShowGapMs + 2);
        QTest::qWait(kShown);
        if (row.attribute) SetCtrlAttribute(panel, row.control, row.attribute, row.attributeValue);
        Pump();
        auto* indicator = qobject_cast<QSpinBox*>(CtrlWidget(panel, row.control));
        ASSERT_NE(qobject_cast<panelsvc::Indicator*>(indicator), nullptr);
        EXPECT_EQ(op::IntValue(panel, row.control), row.shown);
        EXPECT_EQ(op::ScreenDifference(panel), 0); // what its repaints left on the screen
        const auto reference = SpinBoxLike(indicator, row.shown);
        Pump();
        EXPECT_TRUE(indicator->grab().toImage() == reference->grab().toImage());
    }
    // What assistive tools read, the spin box's own value and text, follows what is shown.
    QTest::qWait(panelsvc::Indicator::kBoxLagMs + 200);
    for (const auto& row : rows) {
        const int panel = row.onMain ? main : popup;
        const auto* box = static_cast<QSpinBox*>(CtrlWidget(panel, row.control));
        EXPECT_EQ(box->text(), QString::number(row.shown)) << row.what;
        EXPECT_TRUE(EventsOf(panel, row.control).empty()) << row.what;
    }
}

// Written while its panel was not shown yet: the first picture shows the last value.
TEST_F(Indicators, WrittenBeforeItWasEverShownShowsTheLastValue) {
    SetCtrlVal(popup, POPUP_RINGINDEX, 4711);
    SetCtrlVal(popup, POPUP_RINGINDEX, 77);
    Pump();
    DisplayPanel(popup);
    Pump();
    auto* indicator = qobject_cast<QSpinBox*>(CtrlWidget(popup, POPUP_RINGINDEX));
    EXPECT_EQ(IndicatorDrawnText(popup, POPUP_RINGINDEX), "77");
    const auto reference = SpinBoxLike(indicator, 77);
    Pump();
    EXPECT_TRUE(indicator->grab().toImage() == reference->grab().toImage());
}

// Scrolled into the window's view, an indicator puts each new value on the screen as its spin
// box draws it, whatever it showed before (the values change a digit, the length, the lot).
TEST_F(Indicators, InViewEachNewValueOnScreenIsItsSpinBox) {
    auto* indicator = qobject_cast<QSpinBox*>(CtrlWidget(main, PANEL_VAL_NORMA));
    ASSERT_NE(indicator, nullptr);
    QScrollArea* window = nullptr;
    for (QWidget* w = indicator->parentWidget(); w && !window; w = w->parentWidget())
        window = qobject_cast<QScrollArea*>(w);
    ASSERT_NE(window, nullptr);
    window->ensureWidgetVisible(indicator);
    Pump();
    const auto onScreen = [&] {
        const QPoint at = indicator->mapTo(window->window(), QPoint(0, 0));
        return window->screen()
            ->grabWindow(window->window()->winId(), at.x(), at.y(), indicator->width(),
                         indicator->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    ASSERT_EQ(onScreen().size(), indicator->size()) << "the indicator is in the window's view";
    for (int value : {812, 813, 903, 1000, 7, 65535, 4711, 4712, 77}) {
        SCOPED_TRACE(value);
        SetCtrlVal(main, PANEL_VAL_NORMA, value);
        QTest::qWait(panelsvc::kShowGapMs + 20);
        Pump();
        const QImage shown = onScreen();
        EXPECT_EQ(op::ScreenDifference(main), 0);
        const auto reference = SpinBoxLike(indicator, value);
        Pump();
        EXPECT_TRUE(shown == reference->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }
}

} // namespace
