// The program side of a benchmark: the operator program started in this process, its main
// loop run for a while, and the paints of its widgets counted.
#pragma once

#include <QObject>

#include <string>

class QWidget;

namespace bench {

// The harness's op::StartProgram (port 1 as EVOK_COM1 maps it, offscreen unless a platform is
// chosen). True when it started and proved the line; otherwise says why on standard error.
bool StartProgram();

// Runs the program's main event loop (RunUserInterface), as the program does while the operator
// is not doing anything, for `seconds`.
void RunMainLoop(double seconds);

// The status line of the main panel.
std::string StatusText();

// Presses Run; measures a window from the first frame after `warmUp` seconds to the first frame
// after `warmUp` + `seconds` (the frames the RAW strip chart was handed and the time between
// those two frames; the program's processor time and the event pump's passes from the first of
// them to `warmUp` + `seconds`), then presses Stop. Writes the report lines "frames",
// "frame_wall", "wall", "cpu", "passes", "peak_rss_mb" and "timed_out" that ReadRunWindow reads
// on the parent's side.
void ReportRunWindow(double warmUp, double seconds);

// Counts the paint events of a widget and all widgets inside it, and those of the widget itself
// that repaint all of it that can be seen (a chart laid out and drawn whole).
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget);
    unsigned long count() const { return count_; }
    unsigned long wholeCount() const { return whole_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget_;
    unsigned long count_ = 0;
    unsigned long whole_ = 0;
};

} // namespace bench
