// How fast written values reach the screen. The live loop writes a frame's values about 27
// times a second; drawing each one costs far more than taking it, and an operator reads a chart
// or a number no better at 27 new pictures a second than at 9. Values still all arrive: a strip
// chart keeps every point, an indicator the last value, and a picture shows everything written
// before it.
#pragma once

#include <functional>

class QObject;

namespace panelsvc {

// A write of owner's: runs show (unless owner is gone by then) at the next event processing, or,
// when written values were shown less than kShowGapMs ago, with the first write at least
// kShowGapMs after that, at the latest kShowLagMs after it. One show waits per owner: while it
// waits, further writes of the owner's only count as writes. Every waiting show runs then, in
// the order written.
void ShowSoon(QObject* owner, std::function<void()> show);

// Written values come through at most once in this many milliseconds: of the live loop's frames
// (37.5 ms apart on the line) every third one is drawn, on the wake-up that brought it.
inline constexpr int kShowGapMs = 90;
// The longest a written value waits for its picture when no further write follows.
inline constexpr int kShowLagMs = 150;

// Another gap than kShowGapMs (0: none), for measuring.
void SetShowGap(int gapMs);

} // namespace panelsvc
