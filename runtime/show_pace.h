// How fast written values reach the screen. The live loop writes a frame's values about 27
// times a second, and an operator judges a signal by how it moves: at the line's pace every
// frame is drawn, on the wake-up that brought it. Values that come faster (a line without pacing)
// are drawn together, at most once a gap, so that drawing never holds the loop back. Values
// still all arrive: a strip chart keeps every point, an indicator the last value, and a picture
// shows everything written before it.
#pragma once

#include <functional>

class QObject;

namespace panelsvc {

// A write of owner's: runs show (unless owner is gone by then) at the next event processing, or,
// when written values were shown less than kShowGapMs ago, once kShowGapMs have passed since
// then. One show waits per owner: while it waits, further writes of the owner's only count as
// writes. Every waiting show runs then, in the order written.
void ShowSoon(QObject* owner, std::function<void()> show);

// Written values come through at most once in this many milliseconds, and wait at most this
// long for their picture: less than the live loop's frames lie apart on the line (37.5 ms), so
// each of them is drawn, and well under the 50 ms in which a frame's values are to be on screen.
inline constexpr int kShowGapMs = 25;

// Runs now the shows that wait for the next event processing (not those that wait for the gap),
// and paints what they changed in the same go. The event pump calls it as a pass begins, so
// that a picture takes no passes of its own.
void ShowPosted();

// Another gap than kShowGapMs (0: none), for measuring.
void SetShowGap(int gapMs);

} // namespace panelsvc
