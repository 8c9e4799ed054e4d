#include "sim/faults.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace sim {

std::string FaultOutcome::describe() const {
    if (drop) return "drop";
    if (clean()) return "clean";
    std::string out;
    char buf[64];
    auto add = [&out](const std::string& part) { out += (out.empty() ? "" : ", ") + part; };
    if (delaySeconds > 0) {
        std::snprintf(buf, sizeof buf, "delay %.3fs", delaySeconds);
        add(buf);
    }
    if (keepBytes != kWhole) add("short " + std::to_string(keepBytes));
    if (!flips.empty()) add("corrupt " + std::to_string(flips.size()));
    if (!extra.empty()) add("extra " + std::to_string(extra.size()));
    return out;
}

FaultInjector::FaultInjector(FaultConfig config) : config_(std::move(config)) {}

bool FaultInjector::applies(std::uint16_t order) const {
    return config_.orders.empty() ||
           std::find(config_.orders.begin(), config_.orders.end(), order) != config_.orders.end();
}

FaultOutcome FaultInjector::decide(std::uint16_t order, std::size_t length) {
    FaultOutcome out;
    if (!config_.touchesReplies() || !applies(order) || length == 0) return out;

    // One generator per reply: the decision for reply n depends on the seed and n only.
    const std::uint64_t n = counter_++;
    std::seed_seq seq{static_cast<std::uint32_t>(config_.seed),
                      static_cast<std::uint32_t>(config_.seed >> 32), static_cast<std::uint32_t>(n),
                      static_cast<std::uint32_t>(n >> 32)};
    std::mt19937_64 rng(seq);
    // Portable uniform numbers (the standard distributions differ between libraries).
    auto unit = [&rng] { return static_cast<double>(rng() >> 11) * 0x1.0p-53; };
    auto below = [&rng](std::uint64_t bound) { return rng() % bound; };

    const double uDrop = unit(), uDelay = unit(), uShort = unit(), uCorrupt = unit(),
                 uExtra = unit();
    if (uDrop < config_.drop) {
        out.drop = true;
        return out;
    }
    if (uDelay < config_.delay) out.delaySeconds = config_.delaySeconds;
    std::size_t kept = length;
    if (uShort < config_.cutShort && length > 1) {
        out.keepBytes = 1 + static_cast<std::size_t>(below(length - 1));
        kept = out.keepBytes;
    }
    if (uCorrupt < config_.corrupt) {
        const std::size_t count = 1 + static_cast<std::size_t>(below(3));
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t pos = static_cast<std::size_t>(below(kept));
            const auto mask = static_cast<std::uint8_t>(1 + below(255));
            out.flips.emplace_back(pos, mask);
        }
    }
    if (uExtra < config_.extra) {
        const std::size_t count = 1 + static_cast<std::size_t>(below(8));
        for (std::size_t i = 0; i < count; ++i)
            out.extra.push_back(static_cast<std::uint8_t>(rng()));
    }
    return out;
}

Bytes FaultInjector::apply(const Bytes& reply, const FaultOutcome& outcome) {
    if (outcome.drop) return {};
    Bytes out(reply.begin(), reply.begin() + std::min(reply.size(), outcome.keepBytes));
    for (const auto& [pos, mask] : outcome.flips)
        if (pos < out.size()) out[pos] ^= mask;
    out.insert(out.end(), outcome.extra.begin(), outcome.extra.end());
    return out;
}

} // namespace sim
