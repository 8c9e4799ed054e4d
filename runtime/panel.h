// Panel and plot service: panels loaded from a panel description file (a Qt Designer form), their
// controls addressed by panel handle and control identifier, callbacks bound by name, strip
// charts and an XY graph.
//
// Results: 0 (or a handle, 0 or greater) on success; a negative PanelError on failure. Values and
// attributes written through this service raise no event.
#pragma once

#include <cstddef>

enum PanelError : int {
    kPanelErrFile = -1,        // panel description missing, unreadable or damaged
    kPanelErrResource = -2,    // no panel with that resource number in the file
    kPanelErrCallback = -3,    // the file names a callback that the callback table lacks
    kPanelErrPanel = -4,       // no panel with that handle
    kPanelErrControl = -5,     // no control with that identifier on the panel
    kPanelErrAttribute = -6,   // attribute or value does not apply to this control
    kPanelErrType = -7,        // value type does not match the control
    kPanelErrNotStarted = -8,  // StartRuntime has not run
    kPanelErrImage = -9,       // picture file missing or unreadable
    kPanelErrBufferSize = -10, // a text does not fit the caller's buffer
};

// A short text for a PanelError ("Panel file missing or damaged"); "Panel error" for any other
// negative value.
const char* PanelErrorText(int code);

// Event codes passed to callbacks.
enum PanelEvent : int {
    kEvCommit = 1,       // a button was pressed, or a value change is complete
    kEvValueChanged = 2, // the operator changed a value (comes before commit)
    kEvLeftClick = 3,    // mouse press on a control (comes before commit; never from the keyboard)
    kEvClose = 11,       // the operator asked to close the panel window (it stays open)
    kEvTimerTick = 15,   // a timer control's interval passed
};

// Attribute numbers that the service gives a visible effect (the full table is in panel.cpp).
// Any other number is kept per control and reads back what was written.
enum PanelAttribute : int {
    kAttrDimmed = 500,
    kAttrVisible = 530,
    kAttrLeft = 531,
    kAttrTop = 532,
    kAttrFrameColor = 550,
    kAttrTextColor = 680,
    kAttrTextFont = 682,
    kAttrTextPointSize = 686,
    kAttrTextBold = 687,
    kAttrTextBgColor = 690,
    kAttrScrollMode = 1088,
    kAttrGraphCursorMode = 1140,
    kAttrStripAutoscale = 1170,
    kAttrPointsPerScreen = 1171,
    kAttrLabelText = 1093,
    kAttrCursorStyle = 1202, // on graph cursors (SetCursorAttribute)
    kAttrTraceColor = 1230,  // on strip-chart traces (SetTraceAttribute)
    kAttrBlink = 1271,
};

// Control style for NewCtrl: a one-line text message.
constexpr int kCtrlTextMessage = 160;

// Element types of plot, strip-chart and array-file data.
enum DataType : int {
    kTypeChar = 0,
    kTypeDouble = 4,
    kTypeUShort = 6,
    kTypeUInt = 7,
};

// The callbacks' types. A header declares its callbacks through them (`CtrlCallback CC_BTNRun;`),
// so that the argument list is written once.
using PanelCallback = int(int panel, int event, void* callbackData, int eventData1, int eventData2);
using CtrlCallback = int(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
using PanelCallbackPtr = PanelCallback*;
using CtrlCallbackPtr = CtrlCallback*;

// One entry of the callback table: a name that panel descriptions may use, and either a panel or
// a control callback.
struct CallbackEntry {
    const char* name;
    PanelCallbackPtr panelCallback;
    CtrlCallbackPtr ctrlCallback;
};

// Hands the table of callbacks over; LoadPanel binds the names a panel description uses through
// it. The table must outlive every loaded panel. Replaces an earlier table.
void SetCallbackTable(const CallbackEntry* table, int count);

// Loads panel resourceId (its panelResource property) of the panel description file as a hidden
// top-level window (parent 0). A bare file name is looked for beside the program. Returns the
// panel handle (0 or greater) or a negative PanelError; every callback name in the panel must be
// in the table.
int LoadPanel(int parent, const char* file, int resourceId);
int DisplayPanel(int panel);
int HidePanel(int panel);
int DiscardPanel(int panel);

// Control values. Numeric controls, rings, radio and toggle buttons hold integers; text controls
// hold text. A ring's value is the value of its selected item; setting a value that no item has
// is kPanelErrAttribute. Setting a numeric control outside its range sets the nearest limit.
int GetCtrlVal(int panel, int control, unsigned short* value);
int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, char* text, std::size_t size);
int SetCtrlVal(int panel, int control, unsigned short value);
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, const char* text);

int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, const char* value);
int GetCtrlAttribute(int panel, int control, int attribute, int* value);
int GetCtrlAttribute(int panel, int control, int attribute, char* text, std::size_t size);

// Creates a control at (left, top) pixels from the panel's top-left corner, above every other
// control. Only kCtrlTextMessage is supported. Returns the new control's identifier.
int NewCtrl(int panel, int style, const char* label, int top, int left);

// Text boxes: replace one line (line 0 is the first; a missing line is appended), or the whole
// content.
int ReplaceTextBoxLine(int panel, int control, int line, const char* text);
int ResetTextBox(int panel, int control, const char* text);

// Loads a BMP or PNG file into a picture control; a bare file name is looked for beside the
// program. A file that cannot be read leaves the picture as it was and returns kPanelErrImage.
int DisplayImageFile(int panel, int control, const char* file);

// Strip chart: appends count points of values (element type dataType, starting at index start,
// taking every (skip + 1)-th) to trace 1; the chart shows the newest "points per screen" points.
int PlotStripChart(int panel, int control, const void* values, int count, int start, int skip,
                   int dataType);
int SetTraceAttribute(int panel, int control, int trace, int attribute, int value);

// XY graph. PlotXY adds a plot and returns its handle (1 or greater). plotStyle 0 thin line, 5
// points only; pointStyle 10 small dot; lineStyle 0 solid, 1 dashed; pointFrequency: a point
// marker on every n-th point; color 0xRRGGBB.
int PlotXY(int panel, int control, const void* x, const void* y, int count, int xType, int yType,
           int plotStyle, int pointStyle, int lineStyle, int pointFrequency, int color);
// plotHandle -1 deletes every plot; refresh is accepted for compatibility (redraws are queued).
int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh);
// axis 0 x, 1 left y; mode 0 manual range min..max, 1 autoscale.
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);
// cursor 1 or 2.
int SetGraphCursor(int panel, int control, int cursor, double x, double y);
int GetGraphCursor(int panel, int control, int cursor, double* x, double* y);
int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value);
