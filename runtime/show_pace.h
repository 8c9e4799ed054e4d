// How fast written values reach the screen. The live loop writes a frame's values about 27
// times a second; drawing each one costs far more than taking it, and the eye gains nothing from
// more than about a dozen new pictures a second. Values still all arrive: a strip chart keeps
// every point, an indicator the last value, and a picture shows everything written before it.
#pragma once

#include <functional>

class QObject;

namespace panelsvc {

// Runs show (unless owner is gone by then) at the next event processing, or, when the screen
// was brought up to date less than kShowGapMs ago, with the first write at least kShowGapMs after
// that, at the latest kShowLagMs after it. Runs every show that waits in the order written.
void ShowSoon(QObject* owner, std::function<void()> show);

// Written values come through at most once in this many milliseconds: the live loop's frames
// (37.5 ms apart on the line) are drawn every other one.
inline constexpr int kShowGapMs = 50;
// The longest a written value waits for its picture when no further write follows.
inline constexpr int kShowLagMs = 100;

} // namespace panelsvc
