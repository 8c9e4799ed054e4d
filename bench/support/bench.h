// What the benchmark programs share: clocks and process usage, the controller simulator as a
// process of its own, the program as a child process that reports its figures, and the one
// table each benchmark prints.
//
// Every benchmark runs the operator program's own code on Qt's offscreen platform. Figures that
// belong to the program (processor time, memory) are taken in a process that runs nothing but
// the program; the simulator always runs in another process.
#pragma once

#include "bench/support/usage.h"
#include "sim/line_model.h"
#include "tests/harness/program.h"

#include <map>
#include <string>
#include <vector>

namespace bench {

// Serial line: 19200 baud, 8N1, 10 bits a byte.
constexpr double kLineBytesPerSecond = 1920.0;
// One measurement exchange: a 36-byte request and a 36-byte reply.
constexpr double kLiveLineLimit = kLineBytesPerSecond / 72.0; // frames a second

// Seconds the line needs for `bytes` bytes.
inline double LineSeconds(double bytes) {
    return bytes / kLineBytesPerSecond;
}

// Clocks and the process's own usage figures come from the program harness.
using op::CpuShare;
using op::CurrentRssMb;
using op::Now;
using op::TakeUsage;
using op::Usage;

// Chooses Qt's offscreen platform (unless a platform is chosen already) with a screen of
// 1920 x 1080 pixels, as a desktop has: the main panel is then wholly on the screen, as the
// operator sees it (on the platform's own 800 x 600 screen the panel scrolls and most of the
// strip chart lies outside the window). Child processes inherit the choice.
void UseOffscreenPlatform();

// The processor share of a loop that does nothing but wait a millisecond at a time (one ppoll
// each), for `seconds`: what this machine charges for the thousand wake-ups a second of an event
// pump that waits at most a millisecond.
double MillisecondWaitLoopShare(double seconds);

// Frames a second that a bare client (no GUI, no event loop: write a measurement request, wait
// for the 36-byte reply, at once the next request) gets from the controller on `device` over
// `seconds`: the ceiling that the line, the simulator and the machine leave for any program.
// Returns a negative value when the device cannot be used.
double BareClientFrameRate(const std::string& device, double seconds);

// The directory of the running benchmark program, where the simulator and the panel description
// lie as well.
std::string ProgramDirectory();

// The controller simulator (evok-vx12-sim) as a separate process on a pseudo-terminal, paced at
// 19200 baud or unpaced, on one of the line models. The device path is a symbolic link the
// simulator keeps.
class SimProcess {
public:
    // Starts it and waits until its device is there; throws std::runtime_error when it does not
    // come up.
    explicit SimProcess(bool paced, const sim::LineModel& line = {});
    ~SimProcess(); // stops it (SIGTERM) and waits for it
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    const std::string& device() const { return link_; }

private:
    int pid_ = -1;
    std::string link_;
};

// What a child reported: each output line "key value..." becomes key -> values.
using Report = std::map<std::string, std::vector<double>>;

struct ChildRun {
    double spawnedAt = 0; // Now() just before the child was created
    int exitCode = -1;    // -1 when it did not end normally
    Report report;
};

// Runs this benchmark program again with `args` (e.g. "--child", "idle") and `env` additions,
// and collects the lines the child writes to its standard output. Standard error passes through.
ChildRun RunChild(const std::vector<std::string>& args,
                  const std::vector<std::pair<std::string, std::string>>& env);

// Writes one report line to standard output and flushes it.
void Report1(const std::string& key, const std::vector<double>& values);

// The first value of key, or `fallback` when the child did not report it.
double Value(const Report& report, const std::string& key, double fallback = -1);

// A child's Run window as it reported it ("wall", "frames", "frame_wall", "cpu", "timed_out"):
// whether it ran and kept the line (else why not), its frames a second (frames over
// "frame_wall") and its processor share (over "wall").
struct RunWindow {
    bool ok = false;
    std::string why;
    double wall = 0, fps = 0, cpuShare = 0;
};
RunWindow ReadRunWindow(const ChildRun& run);

// Order statistics of a sample (sorted copy); q in 0..1, nearest rank.
double Quantile(std::vector<double> values, double q);
double Median(const std::vector<double>& values);

// The one table a benchmark prints: measure, value, goal, whether it is met.
class Table {
public:
    explicit Table(std::string title) : title_(std::move(title)) {}
    // A measure without a goal.
    void row(const std::string& measure, const std::string& value);
    // A measure with a goal; met is printed as yes or no.
    void row(const std::string& measure, const std::string& value, const std::string& goal,
             bool met);
    // A measure that could not be taken: the value column says why, met is "no" if it had a goal.
    void failed(const std::string& measure, const std::string& why, const std::string& goal = "");
    void print() const;
    int missed() const { return missed_; }

private:
    std::string title_;
    std::vector<std::vector<std::string>> rows_;
    int missed_ = 0;
};

// printf into a std::string.
// Arguments of a timed benchmark: [--seconds N] and the internal --child. Returns false (after
// printing the usage) on anything else.
bool ParseTimedArgs(int argc, char** argv, const char* name, double* seconds, bool* child);

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace bench
