// The simulated light barrier behind the controller: a pulse whose amplitude drifts slowly, with
// noise, an occasional dip (an object in the beam) and an occasional button press. Everything
// follows from the seed and the number of steps taken, never from the wall clock, so one seed
// always gives the same sequence of measurements and curves.
#pragma once

#include "sim/frame.h"

#include <array>
#include <cstdint>
#include <random>

namespace sim {

// Words 0 to 9 of a measurement frame.
struct Measurement {
    std::uint16_t valNorm = 0; // 1000 * A / Amax
    std::uint16_t adc = 0;     // raw channel-A value
    std::uint16_t amax = 0;    // reference maximum of A
    std::uint16_t t1 = 0;      // rising edge, curve index 1..128
    std::uint16_t t2 = 0;      // falling edge, T1 < T2
    std::uint16_t dt = 0;      // T2 - T1
    std::uint16_t btn = 0;     // 0/1
    std::uint16_t in0 = 0;     // 0/1
    std::uint16_t in1 = 0;     // 0/1
    std::uint16_t index = 0;   // curve index of the maximum, 1..128

    // Words 0 to 9 as above, words 10 to 15 zero.
    FrameWords toWords() const;
    bool operator==(const Measurement&) const = default;
};

inline constexpr std::size_t kCurvePoints = 128;
using Curve = std::array<std::uint16_t, kCurvePoints>;

class SignalModel {
public:
    explicit SignalModel(std::uint64_t seed);

    // The next measurement; advances the model by one step.
    Measurement next();
    // What next() would return, without advancing.
    Measurement peek() const;
    std::uint64_t steps() const { return step_; }

    // The 128-point light-pulse profile of a measurement: about 100 ADC units outside the pulse,
    // the measurement's A on the plateau from T1 to T2, six-point ramps before T1 and after T2.
    // `salt` selects the noise, so the same measurement and salt give the same curve.
    Curve rawCurve(const Measurement& m, std::uint64_t salt) const;
    // 1000 * raw / max(raw), rounded; all zeros for an all-zero curve.
    static Curve normalise(const Curve& raw);

private:
    int noise(int amplitude);

    std::uint64_t seed_;
    std::mt19937_64 rng_;
    std::uint64_t step_ = 0;
    std::array<double, 5> phase_{};
    int dipLeft_ = 0;
    double dipDepth_ = 1.0;
    int buttonLeft_ = 0;
};

} // namespace sim
