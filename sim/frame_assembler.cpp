#include "sim/frame_assembler.h"

namespace sim {

std::optional<AssembledFrame> FrameAssembler::push(std::uint8_t byte, Clock::time_point readAt,
                                                   Clock::time_point wireAt) {
    if (!buffer_.empty() && readAt - lastRead_ >= gap_) {
        dropped_ += buffer_.size() >= 2 ? 1 : 0;
        skipped_ += buffer_.size() < 2 ? buffer_.size() : 0;
        clear();
    }
    buffer_.push_back(byte);
    readTimes_.push_back(readAt);
    lastRead_ = readAt;

    // Keep the buffer starting with (a prefix of) the sync word.
    while (!buffer_.empty() &&
           (buffer_[0] != kSyncHigh || (buffer_.size() >= 2 && buffer_[1] != kSyncLow))) {
        buffer_.erase(buffer_.begin());
        readTimes_.erase(readTimes_.begin());
        ++skipped_;
    }
    if (buffer_.size() < kFrameBytes) return std::nullopt;
    AssembledFrame frame{std::move(buffer_), readTimes_.front(), wireAt};
    clear();
    return frame;
}

bool FrameAssembler::expire(Clock::time_point now) {
    if (buffer_.empty() || now - lastRead_ < gap_) return false;
    if (buffer_.size() >= 2)
        ++dropped_;
    else
        skipped_ += buffer_.size();
    clear();
    return true;
}

std::optional<Clock::time_point> FrameAssembler::expiryTime() const {
    if (buffer_.empty()) return std::nullopt;
    return lastRead_ + gap_;
}

} // namespace sim
