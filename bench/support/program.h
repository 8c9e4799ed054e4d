// The program side of a benchmark: the operator program started in this process, its main
// loop run for a while, and the paints of its widgets counted.
#pragma once

#include <QObject>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

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
// them to `warmUp` + `seconds`; the pictures and each frame's time to the screen, see
// PictureWatch), then presses Stop. Writes the report lines "frames", "frame_wall", "wall",
// "cpu", "passes", "peak_rss_mb", "timed_out" that ReadRunWindow reads on the parent's side,
// and "pictures" and "frame_to_screen" (seconds, one value per frame shown in the window).
void ReportRunWindow(double warmUp, double seconds);

// Presses Run for `seconds`; after every tenth picture of the RAW strip chart (once the pass
// that painted it is done) compares the screen with the main panel painted whole, then presses
// Stop. Writes "picture_checks" (pictures compared, those that differed, the most pixels that
// differed in one).
void ReportPictureChecks(double seconds);

// The live view's pictures, as the RAW strip chart shows them: a picture is a paint of the
// chart that shows points it had not shown before. For every frame, the time from its arrival
// (the end of the last receive notification before the chart is handed the frame) to the end of
// the paint of the first picture that shows it.
class PictureWatch : public QObject {
public:
    explicit PictureWatch(QWidget* chart);
    ~PictureWatch() override;
    void setWatching(bool on) { on_ = on; }
    unsigned long pictures() const { return pictures_; }
    const std::vector<double>& frameToScreen() const { return latencies_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Arrival {
        std::uint64_t pointsBefore; // what the chart had been handed when the frame arrived
        double at;
    };
    QWidget* chart_;
    bool on_ = false;
    std::uint64_t shown_ = 0;
    unsigned long pictures_ = 0;
    std::deque<Arrival> arrivals_;
    std::vector<double> latencies_;
};

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
