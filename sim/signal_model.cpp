#include "sim/signal_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kBaseLevel = 100; // ADC units outside the pulse
constexpr int kRamp = 6;        // points of each edge ramp

std::uint16_t clampWord(long v, long lo, long hi) {
    return static_cast<std::uint16_t>(std::clamp(v, lo, hi));
}

std::mt19937_64 seeded(std::uint64_t seed, std::uint64_t salt) {
    std::seed_seq seq{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                      static_cast<std::uint32_t>(salt), static_cast<std::uint32_t>(salt >> 32)};
    return std::mt19937_64(seq);
}

} // namespace

FrameWords Measurement::toWords() const {
    return {valNorm, adc, amax, t1, t2, dt, btn, in0, in1, index, 0, 0, 0, 0, 0, 0};
}

SignalModel::SignalModel(std::uint64_t seed) : seed_(seed), rng_(seeded(seed, 0x5EED)) {
    for (double& p : phase_)
        p = kTwoPi * static_cast<double>(rng_() % 10000) / 10000.0;
}

int SignalModel::noise(int amplitude) {
    return static_cast<int>(rng_() % static_cast<std::uint64_t>(2 * amplitude + 1)) - amplitude;
}

Measurement SignalModel::next() {
    const double n = static_cast<double>(step_++);
    Measurement m;

    // Amplitude: slow drift over a few hundred frames plus a faster ripple.
    double a = 780.0 + 70.0 * std::sin(kTwoPi * n / 360.0 + phase_[0]) +
               15.0 * std::sin(kTwoPi * n / 47.0 + phase_[1]);
    // Now and then an object dims the beam for 5 to 15 frames.
    if (dipLeft_ == 0 && rng_() % 80 == 0) {
        dipLeft_ = 5 + static_cast<int>(rng_() % 11);
        dipDepth_ = 0.35 + static_cast<double>(rng_() % 20) / 100.0;
    }
    if (dipLeft_ > 0) {
        a *= dipDepth_;
        --dipLeft_;
        m.in1 = 1;
    }
    m.adc = clampWord(std::lround(a) + noise(6), 0, 4095);
    m.amax = clampWord(
        900 + std::lround(10.0 * std::sin(kTwoPi * n / 1500.0 + phase_[2])) + noise(2), 1, 4095);
    m.valNorm = clampWord(std::lround(1000.0 * m.adc / m.amax), 0, 65535);

    m.t1 = clampWord(32 + std::lround(3.0 * std::sin(kTwoPi * n / 500.0 + phase_[3])) + noise(1), 1,
                     127);
    m.t2 = clampWord(96 + std::lround(4.0 * std::sin(kTwoPi * n / 700.0 + phase_[4])) + noise(1),
                     m.t1 + 1, 128);
    m.dt = static_cast<std::uint16_t>(m.t2 - m.t1);
    m.index = clampWord((m.t1 + m.t2) / 2 + noise(2), 1, 128);

    if (buttonLeft_ == 0 && rng_() % 500 == 0) buttonLeft_ = 10 + static_cast<int>(rng_() % 20);
    if (buttonLeft_ > 0) {
        m.btn = 1;
        --buttonLeft_;
    }
    m.in0 = static_cast<std::uint16_t>((step_ - 1) / 64 % 2);
    return m;
}

Measurement SignalModel::peek() const {
    SignalModel copy = *this;
    return copy.next();
}

Curve SignalModel::rawCurve(const Measurement& m, std::uint64_t salt) const {
    std::mt19937_64 rng = seeded(seed_, salt ^ 0xC0FFEEULL);
    auto noise = [&rng](int amplitude) {
        return static_cast<int>(rng() % static_cast<std::uint64_t>(2 * amplitude + 1)) - amplitude;
    };
    const int t1 = std::clamp<int>(m.t1, 1, 126);
    const int t2 = std::clamp<int>(m.t2, t1 + 1, 127);
    const double level = m.adc;
    Curve c{};
    for (int i = 0; i < static_cast<int>(kCurvePoints); ++i) {
        double share = 0.0; // 0 outside the pulse, 1 on the plateau
        if (i >= t1 && i <= t2)
            share = 1.0;
        else if (i < t1 && i >= t1 - kRamp)
            share = static_cast<double>(i - (t1 - kRamp) + 1) / (kRamp + 1);
        else if (i > t2 && i <= t2 + kRamp)
            share = 1.0 - static_cast<double>(i - t2) / (kRamp + 1);
        const double v = kBaseLevel + (level - kBaseLevel) * share;
        c[i] = clampWord(std::lround(v) + noise(4), 0, 4095);
    }
    return c;
}

Curve SignalModel::normalise(const Curve& raw) {
    Curve out{};
    const std::uint16_t top = *std::max_element(raw.begin(), raw.end());
    if (top == 0) return out;
    for (std::size_t i = 0; i < raw.size(); ++i)
        out[i] = static_cast<std::uint16_t>(std::lround(1000.0 * raw[i] / top));
    return out;
}

} // namespace sim
