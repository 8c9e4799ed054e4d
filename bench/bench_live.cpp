// Live rate and what the program costs around it, in one run. The program connects to the
// simulator (a process of its own) paced at 19200 baud and sits idle in its main loop, first with
// the main panel, then with para II shown as well; then the operator presses Run and the live view
// runs for a window of N seconds after a short warm-up, counting the event pump's passes, the
// pictures of the strip chart and each frame's time from its arrival to the end of the paint of
// the first picture that shows it. Then, still paced, a Run in which every tenth picture is
// compared with the panel painted whole, and how fast the loop reacts: Stop, the COM selector and
// the close box, each as input posted by another thread at a known moment, and the 2.0 s line
// time-out when the simulator stops answering (it is halted with SIGSTOP). Last the same Run
// against the unpaced simulator, where only the loop itself limits the rate. Each run is a fresh
// program process, so that its processor time and memory are the program's alone. Beside them, a
// figure of the machine: a bare client (write a request, wait for the reply, no GUI) against the
// same paced simulator, the most any program gets there. Then, per line model (a pseudo-terminal,
// a UART, USB adapters with latency timers and small packets), the Run window again next to a
// bare client on the same line.
//
//   bench-live [--seconds N]     window length (default 10)
#include "app/shell.h"
#include "bench/support/bench.h"
#include "bench/support/program.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "link/com232.h"
#include "runtime/testing.h"
#include "tests/harness/operator.h"
#include "views/live.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace evok;

constexpr double kWarmUp = 1.0;
constexpr double kSettle = 1.0; // after start-up and after showing para II, before measuring
// The bare client against the paced simulator (the most any program can get there).
constexpr double kBareSeconds = 5.0;
// Reaction to input during Run: how often Stop is pressed, and when after Run.
constexpr int kStops = 5;
constexpr double kInputAfter = 0.7;
constexpr int kTimeouts = 3;
// A Run after the measured one in which every tenth picture is compared with the panel painted
// whole (each comparison paints the whole panel: kept out of the measured window).
constexpr double kCheckedSeconds = 4.0;
// The most a frame's values may take to reach the screen, and the fewest pictures a second.
constexpr double kFrameToScreenLimit = 0.050;
constexpr double kPicturesGoal = 20.0;

// The simulator process that serves `device` (its --link argument), found through /proc.
pid_t SimulatorServing(const std::string& device) {
    DIR* proc = opendir("/proc");
    if (!proc) return -1;
    pid_t found = -1;
    while (dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        std::ifstream file("/proc/" + std::string(entry->d_name) + "/cmdline");
        std::string cmdline((std::istreambuf_iterator<char>(file)), {});
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (cmdline.find("evok-vx12-sim") != std::string::npos &&
            cmdline.find(" " + device) != std::string::npos)
            found = pid;
    }
    closedir(proc);
    return found;
}

// A left click as the window system hands it over: press and release, made here (events carry the
// pointing device, which is created on first use in this thread) and posted later by another.
std::vector<std::pair<QObject*, QEvent*>> Click(QWidget* w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    const QPointF global = w->mapToGlobal(at);
    return {{w, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                Qt::LeftButton, {})},
            {w, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, {}, {})}};
}

// Presses Run; the input events are posted by another thread kInputAfter seconds later (as a
// window system would hand them over). Returns the seconds from that moment until the program
// took the input (*reactedAt, when something sets it) or else until Run returned.
double ReactionDuringRun(const std::vector<std::pair<QObject*, QEvent*>>& input,
                         double* reactedAt) {
    *reactedAt = -1;
    double postedAt = -1;
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::duration<double>(kInputAfter));
        postedAt = bench::Now();
        for (const auto& [receiver, event] : input)
            QCoreApplication::postEvent(receiver, event);
    });
    op::Click(panelHandle, PANEL_BTNRUN);
    const double returned = bench::Now();
    poster.join();
    const double at = *reactedAt > 0 ? *reactedAt : returned;
    return postedAt > 0 && at >= postedAt ? at - postedAt : -1;
}

// Records when a widget first gets a key press.
class KeyStamp : public QObject {
public:
    explicit KeyStamp(double* at) : at_(at) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && *at_ < 0) *at_ = bench::Now();
        return false;
    }

private:
    double* at_;
};

void MeasureIdle(const std::string& key, double seconds) {
    bench::RunMainLoop(kSettle);
    const bench::Usage from = bench::TakeUsage();
    bench::RunMainLoop(seconds);
    bench::Report1(key + "_idle_cpu", {bench::CpuShare(from, bench::TakeUsage())});
}

// Idle with one and both panels, the Run window, then (paced only) the reactions and time-outs;
// or the Run window alone.
int Child(double seconds, bool paced, bool runOnly) {
    if (!bench::StartProgram()) return 1;
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    if (runOnly) {
        bench::ReportRunWindow(kWarmUp, seconds);
        ShutDown();
        return 0;
    }
    if (paced) {
        MeasureIdle("main", seconds);
        op::Click(panelHandle, PANEL_TOGBTNPARAII);
        MeasureIdle("para2", seconds);
        op::Click(panelHandle, PANEL_TOGBTNPARAII);
    }
    bench::ReportRunWindow(kWarmUp, seconds);
    if (!paced) {
        ShutDown();
        return 0;
    }
    bench::ReportPictureChecks(kCheckedSeconds);

    double reacted = -1;
    std::vector<double> stops;
    for (int i = 0; i < kStops; ++i)
        stops.push_back(ReactionDuringRun(Click(op::Widget(panelHandle, PANEL_BTNSTOP)), &reacted));
    bench::Report1("stop", stops);

    // The line goes silent: the loop must end 2.0 s after its last request (tdiff is what the
    // loop measured when it gave up).
    const pid_t sim = SimulatorServing(std::getenv("EVOK_COM1") ? std::getenv("EVOK_COM1") : "");
    std::vector<double> timeouts;
    for (int i = 0; i < kTimeouts && sim > 0; ++i) {
        QTimer::singleShot(500, [sim] { kill(sim, SIGSTOP); });
        op::Click(panelHandle, PANEL_BTNRUN);
        kill(sim, SIGCONT);
        timeouts.push_back(bench::StatusText() == kTextLineTimeout ? tdiff : -1);
        bench::RunMainLoop(0.3); // the late reply arrives and is dropped
    }
    bench::Report1("timeout", timeouts);

    // The COM selector: the next port is chosen with the arrow key (the program reopens the line
    // on that port; the live loop then times out on the closed line).
    QWidget* ring = op::Widget(panelHandle, PANEL_DROPDCOM);
    KeyStamp stamp(&reacted);
    ring->installEventFilter(&stamp);
    const double com = ReactionDuringRun(
        {{ring, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier)}}, &reacted);
    ring->removeEventFilter(&stamp);
    bench::Report1("com", {com});

    // The close box ends the loop (and the program).
    const double close = ReactionDuringRun({{PanelWidget(panelHandle), new QCloseEvent}}, &reacted);
    bench::Report1("close", {close});
    ShutDown();
    return 0;
}

struct Phase : bench::RunWindow {
    bench::Report report;
    double passRate = 0;
    double bareFps = -1; // a bare client against the same simulator
};

// The program's Run window against the simulator on `line` (paced, or not), and a bare client's
// rate on the same simulator after it; only the Run window when runOnly.
Phase Measure(bool paced, double seconds, const sim::LineModel& line = {}, bool runOnly = false) {
    Phase phase;
    try {
        bench::SimProcess sim(paced, line);
        std::vector<std::string> args = {"--child", "--seconds", std::to_string(seconds)};
        if (!paced) args.push_back("--unpaced");
        if (runOnly) args.push_back("--run-only");
        const bench::ChildRun run = bench::RunChild(args, {{"EVOK_COM1", sim.device()}});
        phase.report = run.report;
        static_cast<bench::RunWindow&>(phase) = bench::ReadRunWindow(run);
        if (!phase.ok) return phase;
        phase.passRate = bench::Value(run.report, "passes") / phase.wall;
        if (paced) phase.bareFps = bench::BareClientFrameRate(sim.device(), kBareSeconds);
    } catch (const std::exception& e) {
        phase.why = e.what();
    }
    return phase;
}

// The largest of a child's values for key, as milliseconds; negative when one is missing.
double WorstMs(const bench::Report& report, const std::string& key, std::size_t expected) {
    auto it = report.find(key);
    if (it == report.end() || it->second.size() != expected) return -1;
    double worst = 0;
    for (double v : it->second) {
        if (v < 0) return -1;
        worst = std::max(worst, v);
    }
    return worst * 1000;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    bool child = false, unpaced = false, runOnly = false;
    // --unpaced and --run-only are the child's own flags; the usage check below sees the rest.
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i)
        if (std::strcmp(argv[i], "--unpaced") == 0)
            unpaced = true;
        else if (std::strcmp(argv[i], "--run-only") == 0)
            runOnly = true;
        else
            args.push_back(argv[i]);
    if (!bench::ParseTimedArgs(static_cast<int>(args.size()), args.data(), "bench-live", &seconds,
                               &child))
        return 2;
    if (child) return Child(seconds, !unpaced, runOnly);

    bench::UseOffscreenPlatform();
    const Phase paced = Measure(true, seconds);
    const Phase fast = Measure(false, seconds);

    bench::Table table(bench::Format(
        "1. Live rate: Run against evok-vx12-sim, %.0f s window after %.0f s warm-up; line limit "
        "1920 B/s / 72 B = %.2f frames/s",
        seconds, kWarmUp, bench::kLiveLineLimit));
    if (paced.ok) {
        const bench::Report& r = paced.report;
        const double ratio = paced.fps / bench::kLiveLineLimit;
        table.row("paced: frames per second", bench::Format("%.2f /s", paced.fps));
        table.row("paced: ratio to the line limit", bench::Format("%.4f", ratio), ">= 0.99",
                  ratio >= 0.99);
        if (paced.bareFps > 0)
            table.row("this machine: a bare client on the same simulator",
                      bench::Format("%.2f /s, ratio %.4f", paced.bareFps,
                                    paced.bareFps / bench::kLiveLineLimit));
        const double pictures = bench::Value(r, "pictures") / paced.wall;
        table.row("paced: pictures a second (strip chart)", bench::Format("%.2f /s", pictures),
                  bench::Format(">= %.0f /s", kPicturesGoal), pictures >= kPicturesGoal);
        const auto f2s =
            r.count("frame_to_screen") ? r.at("frame_to_screen") : std::vector<double>{};
        const double p99 = bench::Quantile(f2s, 0.99);
        table.row("paced: frame to screen, median / p99 / max",
                  f2s.empty() ? std::string("not measured")
                              : bench::Format("%.1f / %.1f / %.1f ms", 1000 * bench::Median(f2s),
                                              1000 * p99, 1000 * bench::Quantile(f2s, 1.0)),
                  "max <= 50 ms", !f2s.empty() && bench::Quantile(f2s, 1.0) <= kFrameToScreenLimit);
        table.row("paced: program CPU while running (user+sys / wall)",
                  bench::Format("%.2f %%", 100 * paced.cpuShare), "<= 1.2 %",
                  paced.cpuShare <= 0.012);
        table.row("paced: event pump passes per second while running",
                  bench::Format("%.0f /s", paced.passRate));
        for (const auto& [key, name] : {std::pair("main", "idle, main panel: program CPU"),
                                        {"para2", "idle, main panel + para II: program CPU"}}) {
            const double share = bench::Value(r, std::string(key) + "_idle_cpu");
            table.row(name, bench::Format("%.3f %%", 100 * share), "<= 0.05 %",
                      share >= 0 && share <= 0.0005);
        }
        const auto checks =
            r.count("picture_checks") ? r.at("picture_checks") : std::vector<double>{};
        const bool checksOk = checks.size() == 3 && checks[0] > 0 && checks[1] == 0;
        table.row("during Run: every tenth picture equals the panel painted whole",
                  checks.size() != 3 ? std::string("not measured")
                  : checksOk         ? bench::Format("yes, %.0f of %.0f", checks[0], checks[0])
                                     : bench::Format("no: %.0f of %.0f differ, up to %.0f pixels",
                                                     checks[1], checks[0], checks[2]),
                  "all", checksOk);
        const double peak = bench::Value(r, "peak_rss_mb");
        table.row("paced: program peak RSS", bench::Format("%.1f MB", peak), "< 80 MB", peak < 80);
        const double timeout = WorstMs(r, "timeout", kTimeouts);
        const auto timeouts = r.count("timeout") ? r.at("timeout") : std::vector<double>{};
        table.row("line time-out after the last request, worst of 3",
                  timeout < 0
                      ? std::string("not measured")
                      : bench::Format("%.1f ms (best %.1f ms)", timeout,
                                      1000 * *std::min_element(timeouts.begin(), timeouts.end())),
                  "2000 .. 2020 ms", timeout >= 2000 && timeout <= 2020);
        const struct {
            const char* key;
            const char* name;
            std::size_t count;
        } reactions[] = {{"stop", "Stop during Run: loop ended, worst of 5", kStops},
                         {"com", "COM selector during Run: input taken", 1},
                         {"close", "close box during Run: loop ended", 1}};
        for (const auto& reaction : reactions) {
            const double ms = WorstMs(r, reaction.key, reaction.count);
            table.row(reaction.name,
                      ms < 0 ? std::string("not measured") : bench::Format("%.1f ms", ms),
                      "<= 20 ms", ms >= 0 && ms <= 20);
        }
    } else {
        table.failed("paced run", paced.why, ">= 0.99");
    }
    if (fast.ok) {
        table.row("unpaced: frames per second", bench::Format("%.0f /s", fast.fps), ">= 2000 /s",
                  fast.fps >= 2000);
        table.row("unpaced: program CPU (user+sys / wall)",
                  bench::Format("%.1f %%", 100 * fast.cpuShare));
    } else {
        table.failed("unpaced run", fast.why, ">= 2000 /s");
    }
    table.print();

    // The lines operators have: the program's rate against a bare client's on the same line.
    bench::Table lines(bench::Format(
        "1b. Live rate per line model: Run, %.0f s window, next to a bare client on the same "
        "simulator; line limit %.2f frames/s",
        seconds, bench::kLiveLineLimit));
    bool linesOk = true;
    for (const sim::LineModel& line : sim::LineModelsUnderTest()) {
        const Phase p = Measure(true, seconds, line, true);
        if (!p.ok || p.bareFps <= 0) {
            lines.failed(line.name(), p.ok ? "no bare client figure" : p.why, ">= 0.98 of bare");
            linesOk = false;
            continue;
        }
        const double ofBare = p.fps / p.bareFps;
        lines.row(line.name() + ": frames per second, ratio to the bare client",
                  bench::Format("%.2f /s (bare %.2f /s), %.4f", p.fps, p.bareFps, ofBare),
                  ">= 0.98", ofBare >= 0.98);
        if (line.kind == sim::LineKind::Uart) {
            const double ofLimit = p.fps / bench::kLiveLineLimit;
            lines.row("uart: ratio to the line limit", bench::Format("%.4f", ofLimit), ">= 0.99",
                      ofLimit >= 0.99);
        }
        lines.row(line.name() + ": program CPU while running",
                  bench::Format("%.2f %%", 100 * p.cpuShare));
    }
    std::printf("\n");
    lines.print();
    return paced.ok && fast.ok && linesOk ? 0 : 1;
}
