// Per-frame cost without a line: measurement frames written straight into a pseudo-terminal
// that the program has open as port 1, one after the other, each taken the way the live loop
// takes it: the event pump delivers the receive notification (read, decode, flags), the loop's
// redraw step (PlotRAWValues: history shift, strip chart points, indicator values) runs, and the
// event pump carries out what that queued (the trace and the indicator texts updated, strip chart
// and indicators painted, offscreen). The clock for a frame starts when its 36 bytes are readable
// by the program and stops when the strip chart has been painted. No line is paced; the frames
// come from the simulator's controller model in this process, made before the clock starts, so
// only the program's own work is timed. Every frame is drawn (as at the line's pace; frames that
// come faster than the show gap are drawn together otherwise). After every tenth picture, what
// the screen shows after all these partial repaints is compared with the panel painted whole,
// pixel by pixel (the frame after such a check is not timed: the check leaves the caches cold).
//
//   bench-frame [--frames N]     frames measured (default 10000)
#include "app/shell.h"
#include "bench/support/bare_line.h"
#include "bench/support/bench.h"
#include "bench/support/program.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "link/com232.h"
#include "runtime/events.h"
#include "runtime/testing.h"
#include "sim/frame.h"
#include "tests/harness/operator.h"
#include "tests/harness/program.h"
#include "views/live.h"

#include <QAbstractEventDispatcher>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace evok;

constexpr int kWarmUpFrames = 200;
constexpr double kPaintLimit = 0.5; // seconds a frame may take before it counts as not painted

double ThreadCpu() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Sample {
    double total, notify, plot, paint, cpu;
};

} // namespace

int main(int argc, char** argv) {
    int frames = 10000;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench-frame [--frames N]\n");
            return 2;
        }
    }
    if (frames < 1) frames = 1;

    bench::UseOffscreenPlatform();
    bench::Table table(bench::Format(
        "4. Per-frame cost without a line: %d frames back to back, each through notification, "
        "decoder, history shift, strip chart, indicators and repaint (offscreen, 1920 x 1080; "
        "every frame drawn, as at the line's pace)",
        frames));
    // Each frame's drawing is what is measured: written values are shown at every write.
    SetShowGapForTesting(0);
    try {
        bench::BareLine line;
        // Opened before the program takes the device for itself: tells when a frame's bytes
        // are there for the program to read.
        const int probe = open(line.device().c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        if (probe < 0) throw std::runtime_error("cannot open the pseudo-terminal");
        if (const std::string why = line.StartProgram(); !why.empty())
            throw std::runtime_error("the program did not start: " + why);

        // The live view as Run leaves it: graph source 0, the RAW strip chart shown, the XY
        // graph hidden. Without a line the loop is stopped by hand.
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
        op::At(0.2, [] { op::Click(panelHandle, PANEL_BTNSTOP); });
        op::Click(panelHandle, PANEL_BTNRUN);
        op::Pump(0.2);
        line.Drain();

        bench::PaintCounter paints(CtrlWidget(panelHandle, PANEL_STRIPCHART_RAW));
        const bench::PaintCounter windowPaints(PanelWidget(panelHandle));
        // Whole repaints of the chart and of the window while frames are taken (the checks'
        // whole paintings are not counted).
        unsigned long wholePaints = 0, wholeWindow = 0;
        int checks = 0, checksFailed = 0;
        long worstDiffering = 0;
        bool untimed = false;
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        const sim::Bytes request = sim::encodeFrame(sim::kOrderMeasure, sim::FrameWords{});
        std::vector<Sample> samples;
        samples.reserve(static_cast<std::size_t>(frames));
        int unpainted = 0;
        for (int i = 0; i < kWarmUpFrames + frames; ++i) {
            if (!line.Write(line.model().handle(request)))
                throw std::runtime_error("cannot write to the pseudo-terminal");
            // Wait (not timed) until the whole frame is readable on the program's side.
            for (int queued = 0; queued < 36;) {
                if (ioctl(probe, FIONREAD, &queued) != 0)
                    throw std::runtime_error("cannot look at the pseudo-terminal");
                if (queued < 36) std::this_thread::yield();
            }
            const unsigned long paintsBefore = paints.count();
            const unsigned long wholeChartBefore = paints.wholeCount();
            const unsigned long wholeWindowBefore = windowPaints.wholeCount();
            const double cpu0 = ThreadCpu();
            const double t0 = bench::Now();
            // The loop's event pump: the receive notification reads and decodes the frame.
            while (rx_flag == 0 && bench::Now() - t0 < kPaintLimit)
                ProcessSystemEvents();
            const double t1 = bench::Now();
            // The loop's redraw step.
            if (graphrefresh == 1) PlotRAWValues();
            graphrefresh = 0;
            const double t2 = bench::Now();
            // The next pump passes carry out the queued redraw.
            while (paints.count() == paintsBefore && bench::Now() - t2 < kPaintLimit)
                dispatcher->processEvents(QEventLoop::AllEvents);
            const double t3 = bench::Now();
            const double cpu1 = ThreadCpu();
            rx_flag = 0;
            const bool check = i >= kWarmUpFrames && (i - kWarmUpFrames) % 10 == 9;
            if (check) dispatcher->processEvents(QEventLoop::AllEvents); // anything left over
            wholePaints += paints.wholeCount() - wholeChartBefore;
            wholeWindow += windowPaints.wholeCount() - wholeWindowBefore;
            if (i < kWarmUpFrames) continue;
            if (paints.count() == paintsBefore) ++unpainted;
            if (!untimed) samples.push_back({t3 - t0, t1 - t0, t2 - t1, t3 - t2, cpu1 - cpu0});
            untimed = check;
            if (check) {
                const long differing = op::ScreenDifference(panelHandle);
                ++checks;
                checksFailed += differing != 0 ? 1 : 0;
                worstDiffering = std::max(worstDiffering, differing);
            }
        }
        ShutDown();
        close(probe);

        auto column = [&](double Sample::*field) {
            std::vector<double> v;
            v.reserve(samples.size());
            for (const Sample& s : samples)
                v.push_back(s.*field);
            return v;
        };
        const auto ms = [](double s) { return bench::Format("%.3f ms", 1000 * s); };
        const std::vector<double> total = column(&Sample::total);
        const std::vector<double> cpu = column(&Sample::cpu);
        const double p99 = bench::Quantile(total, 0.99);
        table.row("frames taken and painted", bench::Format("%d of %d", frames - unpainted, frames),
                  "all", unpainted == 0);
        // A new point repaints the band where the trace runs, not the whole chart (the warm-up
        // frames are counted too: the first paints are whole).
        table.row("frames that repainted the whole chart",
                  bench::Format("%lu of %d", wholePaints, kWarmUpFrames + frames), "<= 1 %",
                  wholePaints * 100 <= static_cast<unsigned long>(kWarmUpFrames + frames));
        table.row("per frame, median", ms(bench::Median(total)));
        table.row("per frame, 99th percentile", ms(p99), "< 0.5 ms", p99 < 0.0005);
        table.row("per frame, maximum", ms(bench::Quantile(total, 1.0)));
        table.row("per frame, thread CPU median / p99",
                  ms(bench::Median(cpu)) + " / " + ms(bench::Quantile(cpu, 0.99)));
        struct Part {
            const char* name;
            double Sample::*field;
        } parts[] = {{"  notification: read, decode (event pump)", &Sample::notify},
                     {"  loop's redraw step: history, chart points, values", &Sample::plot},
                     {"  trace, indicator texts, repaint (event pump)", &Sample::paint}};
        for (const Part& p : parts) {
            const std::vector<double> v = column(p.field);
            table.row(std::string(p.name) + ", median / p99",
                      ms(bench::Median(v)) + " / " + ms(bench::Quantile(v, 0.99)));
        }
        table.row("frames that repainted the whole window", bench::Format("%lu", wholeWindow), "0",
                  wholeWindow == 0);
        table.row("every tenth picture equals the panel painted whole",
                  checksFailed == 0 ? bench::Format("yes, %d of %d", checks, checks)
                                    : bench::Format("no: %d of %d differ, up to %ld pixels",
                                                    checksFailed, checks, worstDiffering),
                  "all", checks > 0 && checksFailed == 0);
    } catch (const std::exception& e) {
        table.failed("per-frame run", e.what(), "< 0.5 ms");
        table.print();
        return 1;
    }
    table.print();
    return 0;
}
