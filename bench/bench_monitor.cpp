// The frame monitor and the live recording beside the live view: Run against the simulator (a
// process of its own), paced at 19200 baud and then unpaced, with both off, with the frame
// monitor open (Ctrl+M) and with the live recording on (the strip chart's menu). Each run is a
// fresh program process, so that its processor time and memory are the program's alone.
//
//   bench-monitor [--seconds N]  window length (default 10)
#include "app/shell.h"
#include "bench/support/bench.h"
#include "bench/support/program.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "runtime/testing.h"
#include "tests/harness/operator.h"
#include "views/live.h"

#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr double kWarmUp = 1.0;

// What runs beside the live view: nothing, the frame monitor open, the live recording on. The
// child learns it from the environment (EVOK_BENCH_COMPANION).
enum class Companion { None, Monitor, Recording };
constexpr const char* kCompanionNames[] = {"none", "monitor", "record"};

Companion ChildCompanion() {
    const char* name = std::getenv("EVOK_BENCH_COMPANION");
    for (int i = 0; i < 3; ++i)
        if (name && !std::strcmp(name, kCompanionNames[i])) return static_cast<Companion>(i);
    return Companion::None;
}

std::string RecordingPath() {
    return "/tmp/bench-live-recording-" + std::to_string(getpid()) + ".csv";
}

// Rows in the recording file, its header excepted.
double RecordedRows(const std::string& path) {
    std::ifstream in(path);
    double lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines > 0 ? lines - 1 : 0;
}

// The program: Run with graph source 0 (the RAW strip chart); the window starts after the
// warm-up and ends with Stop.
int Child(double seconds) {
    using namespace evok;
    if (!bench::StartProgram()) return 1;
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    const Companion companion = ChildCompanion();
    const std::string recording = RecordingPath();
    if (companion == Companion::Monitor) op::Keys(panelHandle, "Ctrl+M");
    if (companion == Companion::Recording) {
        QueueFileSelectAnswer(2, recording);
        op::PickFromContextMenu(op::Widget(panelHandle, PANEL_STRIPCHART_RAW),
                                "Record frames to CSV...");
    }
    bench::ReportRunWindow(kWarmUp, seconds);
    const bool monitorShown = FrameMonitorWindow() && FrameMonitorWindow()->isVisible();
    bench::Report1("monitor_shown", {monitorShown ? 1.0 : 0.0});
    ShutDown();
    if (companion == Companion::Recording) {
        bench::Report1("recorded_rows", {RecordedRows(recording)});
        std::remove(recording.c_str());
    }
    return 0;
}

struct Phase : bench::RunWindow {
    double peakRssMb = 0;
    double frames = 0, recordedRows = -1, monitorShown = 0;
};

Phase Measure(bool paced, double seconds, Companion companion = Companion::None) {
    Phase phase;
    try {
        bench::SimProcess sim(paced);
        const bench::ChildRun run = bench::RunChild(
            {"--child", "--seconds", std::to_string(seconds)},
            {{"EVOK_COM1", sim.device()},
             {"EVOK_BENCH_COMPANION", kCompanionNames[static_cast<int>(companion)]}});
        static_cast<bench::RunWindow&>(phase) = bench::ReadRunWindow(run);
        if (!phase.ok) return phase;
        phase.peakRssMb = bench::Value(run.report, "peak_rss_mb");
        phase.frames = bench::Value(run.report, "frames");
        phase.recordedRows = bench::Value(run.report, "recorded_rows", -1);
        phase.monitorShown = bench::Value(run.report, "monitor_shown", 0);
    } catch (const std::exception& e) {
        phase.why = e.what();
    }
    return phase;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    bool child = false;
    if (!bench::ParseTimedArgs(argc, argv, "bench-monitor", &seconds, &child)) return 2;
    if (child) return Child(seconds);

    bench::UseOffscreenPlatform();
    const Phase paced = Measure(true, seconds);
    const Phase unpaced = Measure(false, seconds);
    // The monitor and the recording beside the live view: the rate stays the line's, the
    // processor time grows by little.
    bench::Table companions(bench::Format(
        "Live rate and CPU with the frame monitor closed, open, and with the recording on; "
        "%.0f s windows",
        seconds));
    for (bool withPacing : {true, false}) {
        const Phase& closed = withPacing ? paced : unpaced;
        const char* line = withPacing ? "paced" : "unpaced";
        if (closed.ok)
            companions.row(
                bench::Format("%s, monitor closed", line),
                bench::Format("%.2f /s, CPU %.2f %%", closed.fps, 100 * closed.cpuShare));
        for (Companion companion : {Companion::Monitor, Companion::Recording}) {
            const char* what = companion == Companion::Monitor ? "monitor open" : "recording on";
            const std::string measure = bench::Format("%s, %s", line, what);
            const Phase with = Measure(withPacing, seconds, companion);
            if (!with.ok || !closed.ok) {
                companions.failed(measure, with.ok ? closed.why : with.why,
                                  withPacing ? "rate >= 0.98 x closed" : "");
                continue;
            }
            std::string value =
                bench::Format("%.2f /s, CPU %.2f %%", with.fps, 100 * with.cpuShare);
            if (companion == Companion::Recording)
                value += bench::Format(", %.0f rows", with.recordedRows);
            if (companion == Companion::Monitor && with.monitorShown == 0) value += ", NOT SHOWN";
            const bool shown = companion != Companion::Monitor || with.monitorShown != 0;
            // Unpaced, the loop runs flat out: the rows show what each companion costs per frame.
            if (withPacing)
                companions.row(measure, value, "rate >= 0.98 x closed",
                               shown && with.fps >= 0.98 * closed.fps);
            else
                companions.row(measure, value);
        }
    }
    companions.print();
    return paced.ok && unpaced.ok ? 0 : 1;
}
