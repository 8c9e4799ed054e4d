// Inside the panel service: the loaded panels and their controls, shared by the loader
// (panel_registry.cpp), the control calls (panel.cpp) and the test seam (testing.cpp).
#pragma once

#include "runtime/panel.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>
#include <string>

namespace panelsvc {

// What a control is, decided from its widget class when the panel is loaded.
enum class Kind {
    Command,     // QPushButton: commit on click
    Toggle,      // checkable QPushButton or QCheckBox: integer 0/1
    Radio,       // QRadioButton (never auto-exclusive): integer 0/1
    Numeric,     // QSpinBox the operator edits
    Indicator,   // Indicator: a read-only spin box that draws itself
    Ring,        // QComboBox: the value of the selected item
    TextLine,    // QLineEdit: one line of text
    TextBox,     // QPlainTextEdit: lines of text
    TextMessage, // QLabel with an identifier: a text
    Picture,     // Picture
    StripChart,  // StripChart
    Graph,       // XYGraph
    Timer,       // TimerControl
    Lamp,        // Lamp: integer 0/1
    Decoration,  // anything else (frames, the header band)
};

struct Control {
    int id = 0;
    Kind kind = Kind::Decoration;
    QPointer<QWidget> widget;
    std::string callbackName;
    CtrlCallbackPtr callback = nullptr;
    std::map<int, int> intAttributes;          // numbers without an effect, kept for read-back
    std::map<int, std::string> textAttributes; // the same for text values, and the font name
};

struct Panel {
    int handle = 0;
    int resource = 0;
    QPointer<QWidget> window;  // the top-level window (a PanelWindow)
    QPointer<QWidget> content; // the panel as loaded, inside the window
    std::string callbackName;
    PanelCallbackPtr callback = nullptr;
    std::map<int, Control> controls;
};

// Where w lies on its panel (from the panel's top-left corner), whatever the window scrolls.
QPoint PanelPosition(const QWidget* w);

// Null when there is no such panel or control.
Panel* FindPanel(int handle);
Control* FindControl(int panel, int control);
// The same; *err is kPanelErrPanel or kPanelErrControl when there is none, else 0.
Control* LookupControl(int panel, int control, int* err);
// Copies text with its terminator into out (size bytes), or gives kPanelErrBufferSize.
int CopyText(const QString& text, char* out, std::size_t size);
// Text messages created at run time keep their size fitted to their text.
void FitIfAutoSized(QWidget* w);
// Identifier for a control that NewCtrl creates: one above the highest on the panel.
int NextFreeControlId(const Panel& panel);
// Connects a control's widget to the event dispatch (used by NewCtrl as well as the loader).
void WireControl(int panelHandle, Control& control);
bool GuiRunning();
// Calls the callback of a control or panel (if it still exists) with an event.
void RaiseCtrlEvent(int panel, int control, int event, int data1 = 0, int data2 = 0);
void RaisePanelEvent(int panel, int event);
// The event filter that turns mouse presses into left clicks and close boxes into close events;
// installed on every panel window and on every control with a callback and its children.
QObject* Router();
// A bare file name (no directory part) is taken from the program's directory.
QString BesideProgram(const char* file);
// Sets an integer attribute (the table in attributes.cpp); used for the start colours a panel
// description gives as properties.
int ApplyIntAttribute(Control& control, int attribute, int value);

} // namespace panelsvc
