// The calling process's own use of the processor and memory, for the benchmarks and the soak.
#pragma once

namespace op {

// Seconds on the monotonic clock that every process of the machine shares (the program's Timer
// reads the same clock), so that readings of two processes compare.
double Now();

struct Usage {
    double wall = 0;      // Now()
    double cpu = 0;       // user + system seconds of all its threads
    double peakRssMb = 0; // highest resident set so far
};
Usage TakeUsage();
// Processor share of one core over the interval between two samples.
double CpuShare(const Usage& from, const Usage& to);
// Resident set now, MB.
double CurrentRssMb();

} // namespace op
