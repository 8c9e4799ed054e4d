// Driving the program as an operator does: real mouse clicks, keys and window closes on the
// panels (offscreen), waits that keep the event loop running, and what the panels show.
#pragma once

#include <array>
#include <functional>
#include <string>

class QWidget;

namespace op {

// What a helper does when the control it is asked for is not there: the test support reports a
// test failure; elsewhere (benchmarks, the soak) the default prints the message and aborts.
void SetFailureReport(std::function<void(const std::string&)> report);

// Processes events until done() holds or `seconds` have passed; returns done().
bool WaitUntil(const std::function<bool()>& done, double seconds);
// Processes events for `seconds`.
void Pump(double seconds);
// Runs fn from the event loop `seconds` from now: for looking at or acting on the program while a
// callback (the live loop, a reply wait) is still running.
void At(double seconds, std::function<void()> fn);

QWidget* Widget(int panel, int control);
// Left mouse button pressed and released on the control.
void Click(int panel, int control);
// Space key on the focused control.
void PressSpace(int panel, int control);
// Types value into a numeric control and presses Enter.
void EnterNumber(int panel, int control, int value);
// Selects the ring item whose value is `value` with the arrow keys.
void SelectRing(int panel, int control, int value);
// A key chord such as "Ctrl+M" typed while the panel's window is the active one.
void Keys(int panel, const std::string& chord);
// Opens the widget's context menu as a right click does and picks the entry `entry`.
void PickFromContextMenu(QWidget* widget, const std::string& entry);
// The window's close box.
void CloseWindow(int panel);

int IntValue(int panel, int control);
std::string TextValue(int panel, int control);
int Attribute(int panel, int control, int attribute);
bool Visible(int panel, int control);
bool Dimmed(int panel, int control);
// The status line of the main panel.
std::string Status();
// The pixels in which what the panel's window shows on the screen differs from the window
// painted whole, as it is now (-1: the two pictures differ in size).
long ScreenDifference(int panel);

// The fifteen parameter variables, and the fields of both panels that show them, in page order
// (powerA ... maxmode).
using ParameterSet = std::array<unsigned short, 15>;
ParameterSet ParameterVariables();
ParameterSet ParameterFields();

} // namespace op
