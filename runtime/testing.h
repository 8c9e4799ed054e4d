// Seams of the panel, file and serial service for tests, benchmarks and fuzz targets: answering
// file dialogs without showing them, reaching the widgets and chart data behind handles, and
// placing received bytes in a port's input queue. The operator program never calls these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class QWidget;

// The next FileSelectPopup returns result (and, for 1 or 2, path) without showing a dialog.
// Answers are used in the order queued. With no answer queued and no display (offscreen
// platform), FileSelectPopup returns kFileErrDialog instead of blocking on a dialog.
void QueueFileSelectAnswer(int result, const std::string& path);
int PendingFileSelectAnswers();

// The arguments of the last FileSelectPopup call.
struct FileSelectCall {
    std::string directory, fileName, filter, title;
    int buttonLabel = 0, restrictDirectory = 0, restrictExtension = 0, allowCancel = 0,
        allowMakeDirectory = 0;
};
const FileSelectCall& LastFileSelectCall();
int FileSelectCallCount();

// Looks for bare file names (panel description, pictures) in `directory` instead of beside the
// program, and reports it from GetProjectDir. An empty text restores the program's directory.
void SetProgramDirectoryForTesting(const std::string& directory);

// The window of a panel and the widget of a control; null when there is none.
QWidget* PanelWidget(int panel);
QWidget* CtrlWidget(int panel, int control);

// Written values reach the screen at most once in gapMs (the program's own pace when never
// called); 0 draws every write: for measuring what drawing one frame costs.
void SetShowGapForTesting(int gapMs);

// The frame monitor's window while it exists (opened once and not closed by CloseFrameMonitor).
QWidget* FrameMonitorWindow();

// The points a strip chart shows now (at most its points per screen, oldest first), and the
// colour of its trace 1.
std::vector<double> StripChartShownPoints(int panel, int control);
int StripChartTraceColor(int panel, int control);
// The points a strip chart's picture shows (as its trace last took them) and the text an
// indicator's picture shows: they catch up with what was written when written values are shown
// (show_pace.h).
std::vector<double> StripChartDrawnPoints(int panel, int control);
std::string IndicatorDrawnText(int panel, int control);
// The points a strip chart has been handed since it was created (every PlotStripChart call adds
// its count): what a benchmark counts the frames drawn by. 0 for anything but a strip chart.
std::uint64_t StripChartPointsReceived(int panel, int control);

// The plots of an XY graph in the order drawn.
struct GraphPlot {
    std::vector<double> x, y;
    int plotStyle = 0, pointStyle = 0, lineStyle = 0, pointFrequency = 0, color = 0;
};
std::vector<GraphPlot> GraphPlots(int panel, int control);
// Axis range: axis 0 x, 1 left y.
void GraphAxisRange(int panel, int control, int axis, double* min, double* max);

// Calls of ProcessSystemEvents since the program started: a loop that pumps events and makes many
// thousand passes a second while nothing happens is spinning.
std::uint64_t PumpPassCount();

// Places count bytes in the input queue of an open port as if its device had just delivered
// them, as far as the queue has room: the receive notification sees them at the next event
// processing exactly as bytes read from the device. Returns the count placed, or a negative
// ComError (kComErrNotOpen, kComErrInvalidPort, kComErrInvalidParam).
int InjectComInput(int port, const void* bytes, int count);
