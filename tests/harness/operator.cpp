#include "tests/harness/operator.h"

#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "params/paramset.h"
#include "runtime/events.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "runtime/timing.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

using namespace evok;

namespace op {

namespace {

std::function<void(const std::string&)> failureReport = [](const std::string& what) {
    std::fprintf(stderr, "operator: %s\n", what.c_str());
    std::abort();
};

void Fail(const std::string& what, int control) {
    failureReport(what + " (control " + std::to_string(control) + ")");
}

} // namespace

void SetFailureReport(std::function<void(const std::string&)> report) {
    failureReport = std::move(report);
}

bool WaitUntil(const std::function<bool()>& done, double seconds) {
    const double end = Timer() + seconds;
    while (!done()) {
        if (Timer() > end) return done();
        ProcessSystemEvents();
    }
    return true;
}

void Pump(double seconds) {
    WaitUntil([] { return false; }, seconds);
}

void At(double seconds, std::function<void()> fn) {
    QTimer::singleShot(static_cast<int>(seconds * 1000), std::move(fn));
}

QWidget* Widget(int panel, int control) {
    QWidget* widget = CtrlWidget(panel, control);
    if (widget == nullptr) Fail("no such control on panel " + std::to_string(panel), control);
    return widget;
}

void Click(int panel, int control) {
    QWidget* widget = Widget(panel, control);
    if (widget == nullptr) return;
    // Radio buttons and check boxes react to their indicator and text, not to empty space
    // beside a short text: click where the operator aims, on the indicator.
    QPoint at = widget->rect().center();
    if (qobject_cast<QRadioButton*>(widget) || qobject_cast<QCheckBox*>(widget))
        at.setX(std::min(8, widget->width() / 2));
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
}

void PressSpace(int panel, int control) {
    if (QWidget* widget = Widget(panel, control)) {
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Space);
    }
}

void EnterNumber(int panel, int control, int value) {
    auto* box = qobject_cast<QAbstractSpinBox*>(Widget(panel, control));
    if (box == nullptr) return Fail("not a numeric control", control);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QString::number(value));
    QTest::keyClick(box, Qt::Key_Return);
}

void SelectRing(int panel, int control, int value) {
    auto* ring = qobject_cast<QComboBox*>(Widget(panel, control));
    if (ring == nullptr) return Fail("not a ring", control);
    const int index = ring->findData(value);
    if (index < 0) return Fail("ring has no item " + std::to_string(value), control);
    ring->setFocus();
    while (ring->currentIndex() < index)
        QTest::keyClick(ring, Qt::Key_Down);
    while (ring->currentIndex() > index)
        QTest::keyClick(ring, Qt::Key_Up);
}

void Keys(int panel, const std::string& chord) {
    QWidget* window = PanelWidget(panel);
    if (!window) return failureReport("no panel " + std::to_string(panel));
    window->activateWindow();
    WaitUntil([&] { return QApplication::activeWindow() == window; }, 1);
    const QKeyCombination keys = QKeySequence(QString::fromStdString(chord))[0];
    QTest::keyClick(window, keys.key(), keys.keyboardModifiers());
}

void PickFromContextMenu(QWidget* widget, const std::string& entry) {
    if (!widget) return failureReport("no widget for a context menu");
    const QPoint at = widget->rect().center();
    QContextMenuEvent open(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &open);
    Pump(0.05);
    QMenu* menu = nullptr;
    for (QMenu* m : widget->findChildren<QMenu*>())
        if (m->isVisible()) menu = m;
    if (!menu) return failureReport("no context menu");
    QAction* action = nullptr;
    for (QAction* a : menu->actions())
        if (a->text().toStdString() == entry) action = a;
    if (!action) return failureReport("no menu entry " + entry);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    Pump(0.05);
}

void CloseWindow(int panel) {
    if (QWidget* window = PanelWidget(panel)) return void(window->close());
    failureReport("no panel " + std::to_string(panel));
}

int IntValue(int panel, int control) {
    int value = -1;
    if (GetCtrlVal(panel, control, &value) < 0) Fail("cannot read the value", control);
    return value;
}

std::string TextValue(int panel, int control) {
    char text[4096] = "";
    if (GetCtrlVal(panel, control, text, sizeof text) < 0) Fail("cannot read the text", control);
    return text;
}

int Attribute(int panel, int control, int attribute) {
    int value = -1;
    if (GetCtrlAttribute(panel, control, attribute, &value) < 0)
        Fail("cannot read attribute " + std::to_string(attribute), control);
    return value;
}

bool Visible(int panel, int control) {
    return Attribute(panel, control, kAttrVisible) != 0;
}

bool Dimmed(int panel, int control) {
    return Attribute(panel, control, kAttrDimmed) != 0;
}

std::string Status() {
    return TextValue(evok::panelHandle, evok::PANEL_STATUS);
}

ParameterSet ParameterVariables() {
    return {powerA, thd1,     thd2,     triglvlA, deltaT,  polarity, hold,   average,
            hwmode, evalmode, trigmode, outmode,  anamode, sdelay,   maxmode};
}

ParameterSet ParameterFields() {
    const int ids[15] = {PANEL_NUM_POWERA, PANEL_NUM_THRESHOLD1, PANEL_NUM_THRESHOLD2,
                         POPUP_TRIGLVLA,   PANEL_NUM_DELTAT,     POPUP_POLARITY,
                         POPUP_HOLD,       POPUP_AVERAGE,        PANEL_HWMODE,
                         POPUP_EVALMODE,   POPUP_TRIGMODE,       POPUP_OUTMODE,
                         POPUP_ANAMODE,    PANEL_NUM_SDELAY,     PANEL_MAXMODE};
    const std::string onMain = "111010001000011"; // the rest are on para II
    ParameterSet values{};
    for (int i = 0; i < 15; ++i)
        values[i] = static_cast<unsigned short>(
            IntValue(onMain[i] == '1' ? panelHandle : panelPopUp, ids[i]));
    return values;
}

long ScreenDifference(int panel) {
    QWidget* window = PanelWidget(panel);
    if (!window) return -1;
    const QImage a = window->screen()
                         ->grabWindow(window->winId())
                         .toImage()
                         .convertToFormat(QImage::Format_RGB32);
    const QImage b = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size()) return -1;
    long differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            differing += (p[x] & 0xFFFFFF) != (q[x] & 0xFFFFFF) ? 1 : 0;
    }
    return differing;
}

} // namespace op
