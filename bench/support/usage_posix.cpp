#include "bench/support/usage.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace op {

namespace {

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Value of a "Name:   123 kB" line of /proc/self/status, in MB; -1 when absent.
double StatusMb(const char* name) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(name) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.rfind(prefix, 0) == 0)
            return std::strtod(line.c_str() + prefix.size(), nullptr) / 1024.0;
    return -1;
}

} // namespace

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

Usage TakeUsage() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    // The kernel's high-water mark of the resident set, the same count as VmRSS.
    return {Now(), Seconds(ru.ru_utime) + Seconds(ru.ru_stime), StatusMb("VmHWM")};
}

double CpuShare(const Usage& from, const Usage& to) {
    const double wall = to.wall - from.wall;
    return wall > 0 ? (to.cpu - from.cpu) / wall : 0.0;
}

double CurrentRssMb() {
    return StatusMb("VmRSS");
}

} // namespace op
