#include "sim/uart_carrier.h"

#include <algorithm>

namespace sim {

void UartCarrier::push(std::span<const std::uint8_t> bytes, Clock::time_point at) {
    for (const std::uint8_t b : bytes) {
        lineFree_ = std::max(at, lineFree_) + byteTime_;
        queue_.push_back({b, lineFree_});
    }
}

std::vector<UartCarrier::Carried> UartCarrier::take(Clock::time_point now) {
    std::vector<Carried> carried;
    while (!queue_.empty() && queue_.front().at <= now) {
        carried.push_back(queue_.front());
        queue_.pop_front();
    }
    return carried;
}

Bytes UartCarrier::flush(Clock::time_point now) {
    // Bytes whose wire time has begun by `now` stay; the rest go.
    auto first = queue_.begin();
    while (first != queue_.end() && first->at - byteTime_ <= now)
        ++first;
    Bytes dropped;
    for (auto it = first; it != queue_.end(); ++it)
        dropped.push_back(it->byte);
    queue_.erase(first, queue_.end());
    lineFree_ = queue_.empty() ? std::min(lineFree_, now) : queue_.back().at;
    return dropped;
}

std::optional<Clock::time_point> UartCarrier::nextDue() const {
    if (queue_.empty()) return std::nullopt;
    return queue_.front().at;
}

} // namespace sim
