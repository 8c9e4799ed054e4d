// Transactions against the simulator paced at 19200 baud (a process of its own), each measured
// as the operator waits for it and set against the line time of its bytes plus the pauses the
// protocol prescribes:
//   start-up  process start to the main panel painted: echo 72 B + 0.05 s, two page reads 144 B,
//             firmware 36 + 64 B
//   Get       two page reads, 2 x 72 B
//   Send      two 36-byte frames and the 0.1 s pause between them
//   Data      graph source 0 and 1: measurement frame 72 B, two blocks 2 x (36 + 128) B
//   ring      the ring-buffer button: measurement frame 72 B, four blocks 4 x (36 + 128) B
// Start-up runs in fresh processes; the others are clicks in one program process. Each figure is
// the median of several repetitions. Then Get, Send, Data and the ring read again on each line
// model (a UART, USB adapters with latency timers and small packets).
//
//   bench-transactions [--repeat N]     repetitions (default 5)
#include "app/shell.h"
#include "bench/support/bench.h"
#include "bench/support/program.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "link/com232.h"
#include "runtime/events.h"
#include "runtime/testing.h"
#include "tests/harness/operator.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace evok;

// The program side (child processes).

// Notes the first paint of the main panel's window, and ends the main loop once it is done.
class FirstPaint : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (painted || event->type() != QEvent::Paint || panelHandle < 0) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != PanelWidget(panelHandle)) return false;
        painted = true;
        // Runs after this paint (and the rest of the window's) has been carried out.
        QTimer::singleShot(0, [] { QuitUserInterface(0); });
        return false;
    }
};

// The program from process start to its main panel on screen: start-up, then its main loop
// until the main panel's first paint is done.
int StartUpChild() {
    const double entered = bench::Now();
    bench::UseOffscreenPlatform();
    // The application object the program's start-up would make, made here so that the paint
    // watcher is in place before the panels are.
    static int argc = 1;
    static char name[] = "evok-vx12-trace-watch";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    FirstPaint watch;
    app.installEventFilter(&watch);
    if (StartUp() != 0) return 1;
    if (!watch.painted) {
        QTimer::singleShot(5000, [] { QuitUserInterface(0); });
        RunUserInterface();
    }
    const double shown = bench::Now();
    bench::Report1("main_entered", {entered});
    bench::Report1("shown", {shown});
    bench::Report1("painted", {watch.painted ? 1.0 : 0.0});
    bench::Report1("line_ok", {szVersion[0] != '\0' ? 1.0 : 0.0});
    ShutDown();
    return 0;
}

// Seconds one operator action takes, from the click to the callback's return.
double Timed(const std::function<void()>& action) {
    const double start = bench::Now();
    action();
    return bench::Now() - start;
}

int TransactionsChild(int repeat) {
    if (!bench::StartProgram()) return 1;
    // Para II carries the ring-buffer button.
    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    op::Pump(0.2);
    struct Action {
        const char* key;
        const char* okStatus;
        std::function<void()> prepare, run;
    };
    const std::vector<Action> actions = {
        {"get", kTextParaReceived, nullptr, [] { op::Click(panelHandle, PANEL_BTN14); }},
        {"send", kTextTransmitOk, nullptr, [] { op::Click(panelHandle, PANEL_BTNSEND); }},
        {"data0", kTextBlockReceived, [] { op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0); },
         [] { op::Click(panelHandle, PANEL_BTNDATA); }},
        {"data1", kTextBlockReceived, [] { op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 1); },
         [] { op::Click(panelHandle, PANEL_BTNDATA); }},
        {"ring", kTextBlockReceived, nullptr, [] { op::Click(panelPopUp, POPUP_BTNGETDATA); }},
    };
    for (const Action& action : actions) {
        std::vector<double> times;
        double failures = 0;
        for (int i = 0; i < repeat; ++i) {
            if (action.prepare) action.prepare();
            // What the previous action left to draw is drawn before the clock starts.
            op::Pump(0.1);
            times.push_back(Timed(action.run));
            if (bench::StatusText() != action.okStatus) {
                std::fprintf(stderr, "bench-transactions: %s ended with status \"%s\"\n",
                             action.key, bench::StatusText().c_str());
                ++failures;
            }
        }
        bench::Report1(action.key, times);
        bench::Report1(std::string(action.key) + "_failed", {failures});
    }
    ShutDown();
    return 0;
}

// The table (parent process).

struct Expected {
    const char* key;
    const char* measure;
    double bytes;
    double pauses;
};

const Expected kTransactions[] = {
    {"get", "Get, RAM (2 x 72 B)", 144, 0},
    {"send", "Send, RAM (2 x 36 B + 0.1 s)", 72, 0.1},
    {"data0", "Data, graph source 0 (72 + 2 x 164 B)", 400, 0},
    {"data1", "Data, graph source 1 (72 + 2 x 164 B)", 400, 0},
    {"ring", "ring-buffer read (72 + 4 x 164 B)", 728, 0},
};

} // namespace

int main(int argc, char** argv) {
    int repeat = 5;
    std::string child;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--child") && i + 1 < argc) {
            child = argv[++i];
        } else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench-transactions [--repeat N]\n");
            return 2;
        }
    }
    if (repeat < 1) repeat = 1;
    if (child == "startup") return StartUpChild();
    if (child == "transactions") return TransactionsChild(repeat);

    bench::UseOffscreenPlatform();
    bench::Table table(bench::Format(
        "2. Transactions against evok-vx12-sim paced at 19200 baud (median of %d); line time = "
        "bytes / 1920 B/s + prescribed pauses",
        repeat));
    const auto ratioText = [](double measured, double line) {
        return bench::Format("%.1f ms (line %.1f ms, x%.3f)", 1000 * measured, 1000 * line,
                             measured / line);
    };
    bool ok = true;
    try {
        bench::SimProcess sim(true);
        const std::vector<std::pair<std::string, std::string>> env = {{"EVOK_COM1", sim.device()}};

        // Start-up: from just before the process is created to its main panel painted.
        std::vector<double> total, toMain;
        bool startOk = true;
        for (int i = 0; i < repeat && startOk; ++i) {
            const bench::ChildRun run = bench::RunChild({"--child", "startup"}, env);
            startOk = run.exitCode == 0 && bench::Value(run.report, "painted", 0) == 1 &&
                      bench::Value(run.report, "line_ok", 0) == 1;
            total.push_back(bench::Value(run.report, "shown") - run.spawnedAt);
            toMain.push_back(bench::Value(run.report, "main_entered") - run.spawnedAt);
        }
        const double startLine = bench::LineSeconds(72 + 144 + 100) + 0.05;
        if (startOk) {
            const double t = bench::Median(total);
            const double m = bench::Median(toMain);
            table.row("start-up, process start to main panel painted", ratioText(t, startLine),
                      "< 600 ms", t < 0.6);
            table.row("  of which: process creation to main()", bench::Format("%.1f ms", 1000 * m));
            table.row("  of which: main() to main panel painted",
                      bench::Format("%.1f ms", 1000 * (t - m)));
        } else {
            table.failed("start-up", "program did not start on the simulator", "< 600 ms");
            ok = false;
        }

        const bench::ChildRun run =
            bench::RunChild({"--child", "transactions", "--repeat", std::to_string(repeat)}, env);
        for (const Expected& e : kTransactions) {
            const auto it = run.report.find(e.key);
            const double line = bench::LineSeconds(e.bytes) + e.pauses;
            if (run.exitCode != 0 || it == run.report.end() || it->second.empty()) {
                table.failed(e.measure, "not measured (program run failed)", "<= x1.05");
                ok = false;
                continue;
            }
            if (bench::Value(run.report, std::string(e.key) + "_failed", 0) > 0) {
                table.failed(e.measure, "the controller's reply did not come", "<= x1.05");
                continue;
            }
            const double t = bench::Median(it->second);
            table.row(e.measure, ratioText(t, line), "<= x1.05", t <= 1.05 * line);
        }
    } catch (const std::exception& e) {
        table.failed("simulator", e.what());
        ok = false;
    }
    table.print();

    // The same clicks on each line model: the line time is the same, a USB adapter adds its
    // hand-over to every reply.
    bench::Table lines(bench::Format(
        "2b. Transactions per line model (median of %d, ms): Get, Send, Data 0, Data 1, ring read",
        repeat));
    for (const sim::LineModel& line : sim::LineModelsUnderTest()) {
        std::string values;
        try {
            bench::SimProcess sim(true, line);
            const bench::ChildRun run =
                bench::RunChild({"--child", "transactions", "--repeat", std::to_string(repeat)},
                                {{"EVOK_COM1", sim.device()}});
            for (const Expected& e : kTransactions) {
                const auto it = run.report.find(e.key);
                const bool failed = run.exitCode != 0 || it == run.report.end() ||
                                    it->second.empty() ||
                                    bench::Value(run.report, std::string(e.key) + "_failed", 0) > 0;
                values += (values.empty() ? "" : ", ") +
                          (failed ? std::string("failed")
                                  : bench::Format("%.1f", 1000 * bench::Median(it->second)));
                ok = ok && !failed;
            }
        } catch (const std::exception& e) {
            values = e.what();
            ok = false;
        }
        lines.row(line.name(), values);
    }
    std::printf("\n");
    lines.print();
    return ok ? 0 : 1;
}
