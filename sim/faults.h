// Reproducible line faults: for every reply of the chosen orders, a generator seeded from the
// fault seed and the reply's number decides whether it is dropped, delayed, cut short,
// corrupted or followed by extra bytes. The same seed gives the same faults for the same
// sequence of replies, whatever the timing.
#pragma once

#include "sim/frame.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct FaultConfig {
    std::uint64_t seed = 0;
    // Probabilities per reply, 0..1, each decided on its own (a dropped reply has no other fault).
    double drop = 0;
    double delay = 0;
    double delaySeconds = 0; // added before the reply starts
    double cutShort = 0;     // only the first k bytes (1 <= k < length) are sent
    double corrupt = 0;      // 1 to 3 bytes get bits flipped
    double extra = 0;        // 1 to 8 extra bytes follow the reply
    // Only replies to these orders are touched; empty means every order.
    std::vector<std::uint16_t> orders;
    // The line hangs up after this many replies have been sent (0: never) ...
    unsigned hangUpAfterReplies = 0;
    // ... or this many seconds after the line started serving (0: never).
    double hangUpAfterSeconds = 0;

    bool touchesReplies() const {
        return drop > 0 || delay > 0 || cutShort > 0 || corrupt > 0 || extra > 0;
    }
};

struct FaultOutcome {
    static constexpr std::size_t kWhole = std::numeric_limits<std::size_t>::max();

    bool drop = false;
    double delaySeconds = 0;
    std::size_t keepBytes = kWhole;                          // cut short when below the length
    std::vector<std::pair<std::size_t, std::uint8_t>> flips; // position, XOR mask (never 0)
    Bytes extra;

    bool clean() const {
        return !drop && delaySeconds == 0 && keepBytes == kWhole && flips.empty() && extra.empty();
    }
    // "clean", or e.g. "delay 0.200s, short 12, corrupt 2, extra 3".
    std::string describe() const;
    bool operator==(const FaultOutcome&) const = default;
};

class FaultInjector {
public:
    explicit FaultInjector(FaultConfig config = {});

    const FaultConfig& config() const { return config_; }
    bool applies(std::uint16_t order) const;
    // Decides the faults of the next reply to `order` of `length` bytes. Only replies of the
    // chosen orders are counted and faulted; others come back clean.
    FaultOutcome decide(std::uint16_t order, std::size_t length);
    // The bytes that go on the wire (empty when dropped).
    static Bytes apply(const Bytes& reply, const FaultOutcome& outcome);

private:
    FaultConfig config_;
    std::uint64_t counter_ = 0;
};

} // namespace sim
