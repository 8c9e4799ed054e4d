#include "sim/hand_over.h"

#include <algorithm>
#include <limits>

namespace sim {

HandOver::HandOver(const LineModel& model, Clock::time_point origin)
    : model_(model),
      period_(
          seconds((model.kind == LineKind::SmallPacket ? model.packetMs : model.timerMs) / 1000.0)),
      packetBytes_(model.kind == LineKind::LatencyTimer
                       ? std::max<std::size_t>(model.packetBytes, 1)
                       : std::numeric_limits<std::size_t>::max()) {
    if (period_ <= Clock::duration::zero()) period_ = std::chrono::milliseconds(1);
    adapter_.tick = origin + period_;
}

bool HandOver::grid() const {
    return model_.kind == LineKind::LatencyTimer || model_.kind == LineKind::SmallPacket;
}

void HandOver::add(const Bytes& bytes, Clock::time_point start, std::chrono::nanoseconds byteTime,
                   std::size_t burstBytes) {
    const std::size_t burst = std::max<std::size_t>(burstBytes, 1);
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        const std::size_t burstEnd = std::min((k / burst + 1) * burst, bytes.size());
        queue_.push_back({bytes[k], start + byteTime * static_cast<long>(k + 1),
                          start + byteTime * static_cast<long>(burstEnd)});
    }
}

void HandOver::run(Adapter& a, Clock::time_point now) const {
    for (;;) {
        const std::size_t next = a.out + a.held;
        const bool more = next < queue_.size();
        // A byte completing at the very moment the timer runs out goes with that hand-over.
        if (more && queue_[next].complete <= a.tick && queue_[next].complete <= now) {
            if (++a.held >= packetBytes_) {
                // A full packet goes at once, and the timer starts again from it.
                a.out += a.held;
                a.held = 0;
                a.tick = queue_[next].complete + period_;
            }
            continue;
        }
        if (a.tick > now) return;
        // The timer ran out: everything held goes (also nothing: the adapter then reports its
        // status alone), and the timer restarts.
        if (a.held > 0) {
            a.out += a.held;
            a.held = 0;
            a.tick += period_;
            continue;
        }
        // Empty hand-overs change nothing: skip to the first expiry at or after the next event.
        const auto limit = more ? std::min(now, queue_[next].complete) : now;
        const auto periods =
            std::max<Clock::rep>(1, (limit - a.tick + period_ - Clock::duration(1)) / period_);
        a.tick += period_ * periods;
    }
}

Bytes HandOver::take(Clock::time_point now) {
    std::size_t n = 0;
    if (grid()) {
        run(adapter_, now);
        n = adapter_.out;
        adapter_.out = 0;
    } else {
        while (n < queue_.size() && queue_[n].release <= now)
            ++n;
    }
    Bytes out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(queue_[i].byte);
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(n));
    return out;
}

std::optional<Clock::time_point> HandOver::nextDue() const {
    if (queue_.empty()) return std::nullopt;
    if (!grid()) return queue_.front().release;
    Adapter a = adapter_;
    for (;;) {
        const std::size_t next = a.out + a.held;
        if (next >= queue_.size() || (a.held > 0 && a.tick < queue_[next].complete))
            return a.tick; // the timer hands over what is held before another byte comes
        const auto at = queue_[next].complete;
        run(a, at);
        if (a.out > 0) return at;
    }
}

} // namespace sim
