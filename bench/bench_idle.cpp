// Idle: the program connected to the simulator (a process of its own, paced at 19200 baud) and
// sitting in its main loop with nothing to do, first with the main panel alone, then with the
// para II panel shown as well. Processor share and memory of the program process. Last, what the
// strip chart alone costs: the main loop with the RAW chart handed its whole 100-point history
// 27 times a second, as the live loop does, without the line.
//
//   bench-idle [--seconds N]     length of each window (default 10)
#include "app/shell.h"
#include "bench/support/bench.h"
#include "bench/support/program.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/harness/operator.h"

#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

using namespace evok;

constexpr double kSettle = 1.0; // after start-up and after showing para II, before measuring
constexpr int kHistory = 100;   // the live loop's history, handed whole to the chart each frame

void MeasureWindow(const std::string& key, double seconds) {
    bench::RunMainLoop(kSettle);
    const bench::Usage from = bench::TakeUsage();
    bench::RunMainLoop(seconds);
    const bench::Usage to = bench::TakeUsage();
    bench::Report1(key + "_cpu_share", {bench::CpuShare(from, to)});
    bench::Report1(key + "_rss_mb", {bench::CurrentRssMb()});
    bench::Report1(key + "_peak_rss_mb", {to.peakRssMb});
}

int Child(double seconds) {
    if (!bench::StartProgram()) return 1;
    MeasureWindow("main", seconds);
    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    QWidget* popup = PanelWidget(panelPopUp);
    if (!popup || !popup->isVisible()) {
        std::fprintf(stderr, "bench-idle: the para II panel did not open\n");
        return 1;
    }
    MeasureWindow("para2", seconds);
    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    double history[kHistory] = {};
    int frame = 0;
    QTimer live;
    live.setTimerType(Qt::PreciseTimer);
    QObject::connect(&live, &QTimer::timeout, [&] {
        std::copy(history + 1, history + kHistory, history);
        history[kHistory - 1] = 500 + 400 * std::sin(++frame / 5.0);
        SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_RAW, kAttrPointsPerScreen, kHistory + 1);
        PlotStripChart(panelHandle, PANEL_STRIPCHART_RAW, history, kHistory, 0, 0, kTypeDouble);
    });
    live.start(37);
    MeasureWindow("chart", seconds);
    live.stop();
    ShutDown();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    bool child = false;
    if (!bench::ParseTimedArgs(argc, argv, "bench-idle", &seconds, &child)) return 2;
    if (child) return Child(seconds);

    bench::UseOffscreenPlatform();
    bench::Table table(bench::Format(
        "3. Idle: connected to evok-vx12-sim, main loop without operator input, %.0f s each",
        seconds));
    bool ok = true;
    try {
        bench::SimProcess sim(true);
        const bench::ChildRun run = bench::RunChild(
            {"--child", "--seconds", std::to_string(seconds)}, {{"EVOK_COM1", sim.device()}});
        ok = run.exitCode == 0;
        struct Window {
            const char* key;
            const char* name;
            const char* goal;
            double limit;
        } windows[] = {{"main", "main panel", "<= 0.05 %", 0.0005},
                       {"para2", "main panel + para II", "<= 0.05 %", 0.0005},
                       {"chart", "strip chart fed 27 /s, no line", "< 10 %", 0.10}};
        for (const Window& w : windows) {
            const std::string key = w.key;
            const double share = bench::Value(run.report, key + "_cpu_share");
            if (!ok || share < 0) {
                table.failed(std::string(w.name) + ": program CPU", "not measured", w.goal);
                ok = false;
                continue;
            }
            const double peak = bench::Value(run.report, key + "_peak_rss_mb");
            table.row(std::string(w.name) + ": program CPU (user+sys / wall)",
                      bench::Format("%.3f %%", 100 * share), w.goal, share <= w.limit);
            table.row(std::string(w.name) + ": RSS now",
                      bench::Format("%.1f MB", bench::Value(run.report, key + "_rss_mb")));
            table.row(std::string(w.name) + ": peak RSS", bench::Format("%.1f MB", peak), "< 80 MB",
                      peak < 80);
        }
    } catch (const std::exception& e) {
        table.failed("simulator", e.what());
        ok = false;
    }
    table.print();
    return ok ? 0 : 1;
}
