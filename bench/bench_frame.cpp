// Per-frame cost without a line: measurement frames written straight into a pseudo-terminal
// that the program has open as port 1, one after the other, each taken the way the live loop
// takes it: the event pump delivers the receive notification (read, decode, flags), the loop's
// redraw step (PlotRAWValues: history shift, strip chart points, indicator values) runs, and the
// event pump carries out what that queued (the trace and the indicator texts updated, strip chart
// and indicators painted, offscreen). The clock for a frame starts when its 36 bytes are readable
// by the program and stops when the strip chart has been painted. No line is paced; the frames
// come from the simulator's controller model in this process, made before the clock starts, so
// only the program's own work is timed. Every frame is drawn (the live view draws at most one in
// 90 ms otherwise). At the end, what the screen shows after all these partial repaints is
// compared with the panel painted whole.
//
//   bench-frame [--frames N]     frames measured (default 10000)
#include "app/shell.h"
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
#include <QImage>
#include <QScreen>
#include <QWidget>

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

long DifferingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    long n = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col)
            n += x.pixel(col, row) != y.pixel(col, row) ? 1 : 0;
    return n;
}

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
        "decoder, history shift, strip chart, indicators and repaint (offscreen; every frame "
        "drawn, not every third as at the line's pace)",
        frames));
    // Each frame's drawing is what is measured: written values are shown at every write.
    SetShowGapForTesting(0);
    try {
        op::BareLine line;
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
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        const sim::Bytes request = sim::encodeFrame(sim::kOrderMeasure, sim::FrameWords{});
        std::vector<Sample> samples;
        samples.reserve(static_cast<std::size_t>(frames));
        int unpainted = 0;
        const unsigned long wholeBefore = paints.wholeCount();
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
            if (i < kWarmUpFrames) continue;
            if (paints.count() == paintsBefore) ++unpainted;
            samples.push_back({t3 - t0, t1 - t0, t2 - t1, t3 - t2, cpu1 - cpu0});
        }
        const unsigned long wholePaints = paints.wholeCount() - wholeBefore;
        // The screen after all these partial repaints, against the same panel painted whole.
        op::Pump(0.05);
        QWidget* window = PanelWidget(panelHandle);
        const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
        const QImage whole = window->grab().toImage();
        const long differing = DifferingPixels(shown, whole);
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
        table.row("screen after the run equals the panel painted whole",
                  differing == 0 ? std::string("yes")
                                 : bench::Format("no: %ld pixels differ", differing),
                  "yes", differing == 0);
    } catch (const std::exception& e) {
        table.failed("per-frame run", e.what(), "< 0.5 ms");
        table.print();
        return 1;
    }
    table.print();
    return 0;
}
