// Fault soak: the operator program against the simulated controller while the line misbehaves,
// on every line model in turn (a pseudo-terminal, a UART, USB adapters with latency timers and
// small packets): each phase of quiet and faulty actions runs on the next model.
// Replies are dropped, delayed past the time limits, cut short, corrupted or followed by extra
// bytes, and the line is unplugged and plugged in again; meanwhile the operator's actions run in a
// seeded random order, some of them clicked by an impatient operator while Run is active or while
// another action still waits for its reply. Every action must return within its time limit
// (+0.5 s), show one of its own status texts, succeed on a quiet line (the first action after a
// fault clears included), and every file written must be whole. No parameter variable or field
// may ever hold a value that the controller did not send as a parameter (or the operator did not
// type). Memory must not grow.
//
//   evok-soak [--seconds N] [--seed S] [--verbose]
//
// Exit status 0 when every check held; 1 otherwise; 3 when an action hung (watchdog).
#include "app/shell.h"
#include "bench/support/usage.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "link/com232.h"
#include "link/trace.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/serial.h"
#include "runtime/testing.h"
#include "runtime/timing.h"
#include "tests/harness/operator.h"
#include "tests/harness/program.h"
#include "views/datablock.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>

namespace {

using namespace evok;

// Time limits: a parameter page read 1.5 s, a write 2 s, a data block 1.5 s, the firmware text
// 2 s, the echo read 2 s (after 50 ms), the teach/reset/refresh reply 1.5 s plus its read-back.
constexpr double kPage = 1.5, kWrite = 2.0, kBlock = 1.5, kCommand = 1.5;
constexpr double kThinkTime = 0.3; // seconds between two of the operator's actions

const std::string kGot = kTextParaReceived, kBlockOk = kTextBlockReceived;
const std::set<std::string> kBlockFailed = {kTextBlockTimeout, kTextWaitingBlock};

constexpr const char* kPortChange = "Port change";

const std::set<std::string> kOpenErrors = {
    "Unknown system error", "Invalid port number", "Port is not open",  "Unknown I/0 error",
    "No serial port found", "Cannot open port",    "Invalid parameter", "Timeout",
    "RS-232 error!"};

enum Fault { kClean, kDrop, kDelay, kShort, kCorrupt, kExtra, kHangUp, kFaults };
const char* const kFaultName[kFaults] = {"clean",   "dropped", "delayed", "cut short",
                                         "corrupt", "extra",   "hang-up"};

// The action running now, for the watchdog thread: it ends the process when an action is stuck
// far past its limit, so that a hang does not stall the run.
std::atomic<const char*> runningAct{nullptr};
std::atomic<double> runningUntil{0};
std::atomic<bool> finished{false};

void Watchdog() {
    while (!finished) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (const char* act = runningAct; act && op::Now() > runningUntil + 10.0) {
            std::fprintf(stderr, "HANG: %s has run 10 s past its limit\n", act);
            std::_Exit(3);
        }
    }
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Options {
    double seconds = 20;
    unsigned long long seed = 1;
    bool verbose = false;
};

class Soak {
public:
    explicit Soak(const Options& o);
    int run();

private:
    // One of the operator's actions: the longest it may take by the program's own time limits,
    // whether it talks to the controller, the status texts it shows when it worked and may show
    // when it did not; run() does it and says whether it worked.
    struct Action {
        const char* name;
        double limit;
        bool line;
        std::set<std::string> ok, failed;
        std::function<bool()> run;
    };
    struct Outcome {
        std::string status;
        double seconds = 0;
        bool ok = false;
    };

    // The operator clicks `inner` while `outer` runs: during Run (stopped right after), or while
    // a Get or Teach waits for its reply.
    Action impatient(const char* name, const Action& outer, const Action& inner, double within);
    // Every parameter variable and field holds a value the controller has held as that
    // parameter, or one the operator typed; values that came in on a line that corrupted, padded
    // or delayed replies are accepted as that line's (replies are matched by timing alone).
    void checkParameters(const char* after, Fault fault);
    void learnControllerValues();
    bool ringAsController(const char* what);
    Outcome perform(const Action& action);
    void check(const Action& action, const Outcome& out, Fault fault, bool mustSucceed);
    void startFault(Fault fault);
    void clearFault(Fault fault);
    void error(const std::string& text);
    // The operator presses a button; finding it dimmed means the program is stuck.
    void press(int panel, int control);
    void selectTarget(int radio, int value);
    void showParaII(bool shown);
    bool fileWhole(const std::string& path, const std::string& expected, const char* what);
    bool getParameters(int radio, int value, bool eeprom);
    bool sendParameters(int radio, int value, bool eeprom);
    bool runLive();
    std::string cfgExpected() const;

    Options opt_;
    std::mt19937_64 rng_;
    QTemporaryDir dir_;
    std::unique_ptr<op::PluggableLine> line_;
    std::vector<Action> actions_;
    const Action* portChange_ = nullptr;
    std::string cfg_, record_, status_;
    bool cfgSaved_ = false;
    unsigned savedPower_ = 0;
    int port_ = 1;
    double runFor_ = 0;
    Fault kind_ = kClean; // the fault on the line now

    long done_ = 0, faultPhases_ = 0, errors_ = 0;
    std::map<std::string, long> injected_, faultedReplies_, failures_;
    double longestOver_ = -1e9, longestSeconds_ = 0;
    std::string longestAct_;
    std::set<unsigned short> legit_[15]; // per parameter: values it may hold
    long impatientDone_ = 0;
    std::size_t firstImpatient_ = 0; // actions_ from here on are the impatient operator's
    // Per line model: actions, impatient actions, failed actions, errors.
    struct PerModel {
        long actions = 0, impatient = 0, failed = 0, errors = 0;
    };
    std::map<std::string, PerModel> perModel_;
    PerModel& onModel() { return perModel_[line_->model().name()]; }
    bool nested_ = false; // an impatient action runs: values may change under a read
};

Soak::Soak(const Options& o) : opt_(o), rng_(o.seed) {
    const auto add = [this](const char* name, double limit, bool line, std::set<std::string> ok,
                            std::set<std::string> failed, std::function<bool()> run) {
        actions_.push_back({name, limit, line, std::move(ok), std::move(failed), std::move(run)});
    };
    const auto command = [this](int button) {
        return [this, button] {
            press(panelHandle, button);
            return status_ == kGot;
        };
    };
    const auto data = [this](int source) {
        return [this, source] {
            op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, source);
            press(panelHandle, PANEL_BTNDATA);
            return status_ == kBlockOk;
        };
    };
    const double get = 2 * kPage + 2 * kWrite, send = 0.1 + 2 * kWrite;
    const double curve = kPage + 2 * kBlock + 3 * kWrite, ring = kPage + 4 * kBlock + 5 * kWrite;
    const double cmd = kCommand + kPage + 2 * kWrite;
    const std::set<std::string> getFailed = {kTextWaitingPara, kTextReceive};
    const std::set<std::string> sendFailed = {kTextTransmit, kTextTransmitPage0};
    const std::set<std::string> cmdFailed = {kTextCommandTimeout, kTextWaitingPara, kTextLineOk,
                                             kTextTeached, kTextTeachClicked};
    // Stopped before the line timeout: no frame came, or nothing could be sent.
    add("Run/Stop", 2.0 + 2 * kWrite, true, {kTextLineOk},
        {kTextLineTimeout, "Line Ok! (no frame drawn)", "(status unchanged)"},
        [this] { return runLive(); });
    add("Get RAM", get, true, {kGot}, getFailed,
        [this] { return getParameters(PANEL_RBTRAM, RAM, false); });
    add("Get EEPROM", get, true, {kGot}, getFailed,
        [this] { return getParameters(PANEL_RBTEEPROM, EEPROM, true); });
    add("Send RAM", send, true, {kTextTransmitOk}, sendFailed,
        [this] { return sendParameters(PANEL_RBTRAM, RAM, false); });
    add("Send EEPROM", send, true, {kTextTransmitOk}, sendFailed,
        [this] { return sendParameters(PANEL_RBTEEPROM, EEPROM, true); });
    add("Data raw", curve, true, {kBlockOk}, kBlockFailed, data(0));
    add("Data normalised", curve, true, {kBlockOk}, kBlockFailed, data(1));
    add("Data delta-T", ring, true, {kBlockOk}, kBlockFailed, data(2));
    add("Ring-buffer read", ring, true, {kBlockOk}, kBlockFailed, [this] {
        showParaII(true);
        press(panelPopUp, POPUP_BTNGETDATA);
        if (op::TextValue(panelPopUp, POPUP_RINGTEXT) != "DATA-RING-BUFFER-256")
            error("ring-buffer read left its panel busy");
        return status_ == kBlockOk && ringAsController("ring-buffer read");
    });
    add("Teach", cmd, true, {kGot}, cmdFailed, command(PANEL_BTNTEACH));
    add("Reset", cmd, true, {kGot}, cmdFailed, command(PANEL_BTNRESET));
    add("Refresh", cmd, true, {kGot}, cmdFailed, command(PANEL_BTNREFRESH));
    // A firmware reply of the wrong length leaves the text of an earlier step standing: the echo
    // check's, a parameter page's time-out or the firmware wait's own; or the port did not open.
    std::set<std::string> portFailed = kOpenErrors;
    portFailed.insert({kTextEchoShort, kTextEchoWrong, kTextFirmwareError, kTextEchoOk,
                       kTextFrameTimeout, kTextFirmwareTimeout, kTextInitComPort});
    add(kPortChange, 0.05 + 2.0 + 2 * kPage + 2.0 + 4 * kWrite, true, {}, portFailed, [this] {
        port_ = port_ == 1 ? 2 : 1;
        op::SelectRing(panelHandle, PANEL_DROPDCOM, port_);
        status_ = op::Status();
        return line_->plugged() && status_ == line_->sim().model().firmware();
    });
    add("File save", 0.5, false, {kTextTransmit}, {}, [this] {
        selectTarget(PANEL_RBTFILE, DATFILE);
        QueueFileSelectAnswer(2, cfg_);
        press(panelHandle, PANEL_BTNSEND);
        if (!fileWhole(cfg_, cfgExpected(), "parameter file")) return false;
        cfgSaved_ = true;
        savedPower_ = powerA;
        return true;
    });
    add("File load", 0.5, false, {kTextReceive}, {}, [this] {
        selectTarget(PANEL_RBTFILE, DATFILE);
        QueueFileSelectAnswer(1, cfg_);
        legit_[0].insert(1);
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, 1);
        press(panelHandle, PANEL_BTN14);
        if (!cfgSaved_) return status_ == kTextParaFileNotLoaded;
        if (powerA != savedPower_)
            error("parameter file loaded Power A " + std::to_string(powerA) + ", saved " +
                  std::to_string(savedPower_));
        return status_ == kTextReceive && powerA == savedPower_;
    });
    add("Record store", 0.5, false, {}, {}, [this] {
        showParaII(true);
        QueueFileSelectAnswer(2, record_);
        press(panelPopUp, POPUP_BTNRECFILE);
        press(panelPopUp, POPUP_BTNSTOREDATA);
        std::string expected =
            "E-VOK-VX12-RING-BUFFER-FILE: Actual index: " + std::to_string(yArrayA[kRingIndexWord]);
        for (int i = 0; i < kRingValues; ++i)
            expected += "\n" + std::to_string(yArrayA[i]);
        return fileWhole(record_, expected + "\n", "record file");
    });
    // The impatient operator: Get, Send, Teach, the ring read, a port change and the para II
    // toggle clicked during Run; Send, the toggle, Get and Teach clicked while a Get or a Teach
    // still waits.
    const auto find = [this](const char* name) -> const Action& {
        for (const Action& a : actions_)
            if (std::string(a.name) == name) return a;
        std::abort();
    };
    Action toggle{"Para II toggle", 0.5, false, {}, {}, [this] {
                      op::Click(panelHandle, PANEL_TOGBTNPARAII);
                      status_ = "(toggled)";
                      return true;
                  }};
    toggle.ok = {"(toggled)"};
    static Action toggleAction;
    toggleAction = toggle;
    const Action run = actions_[0];
    std::vector<Action> more;
    for (const char* inner : {"Get RAM", "Send RAM", "Teach", "Ring-buffer read", kPortChange})
        more.push_back(impatient("during Run", run, find(inner), 0.6));
    more.push_back(impatient("during Run", run, toggleAction, 0.6));
    for (const char* outer : {"Get RAM", "Teach"})
        for (const Action* inner : std::vector<const Action*>{&find("Send RAM"), &toggleAction,
                                                              &find("Get RAM"), &find("Teach")})
            more.push_back(impatient("while waiting", find(outer), *inner, 0.06));
    firstImpatient_ = actions_.size();
    for (Action& a : more)
        actions_.push_back(std::move(a));
    for (const Action& a : actions_)
        if (a.name == kPortChange) portChange_ = &a;
}

Soak::Action Soak::impatient(const char* how, const Action& outer, const Action& inner,
                             double within) {
    static std::vector<std::string> names; // Action names are kept as plain pointers
    names.push_back(std::string(inner.name) + " " + how + " " +
                    (std::string(how) == "during Run" ? "" : outer.name));
    const char* name = names.back().c_str();
    Action a{name,   outer.limit + inner.limit, outer.line || inner.line, inner.ok, inner.failed,
             nullptr};
    // The outer action's own texts may stand last, and Run's when the live loop timed out.
    a.failed.insert(outer.ok.begin(), outer.ok.end());
    a.failed.insert(outer.failed.begin(), outer.failed.end());
    const bool duringRun = std::string(outer.name) == "Run/Stop";
    a.run = [this, outer, inner, within, duringRun] {
        bool innerDone = false, innerOk = false;
        std::string innerStatus;
        const int at =
            static_cast<int>(1000 * (duringRun ? 0.1 : 0.0) +
                             static_cast<double>(rng_() % 1000) / 1000.0 * 1000 * within);
        // A timer that ends with this action: a click planned for it must never land in a later
        // one (and the click reads this action's locals).
        QTimer click;
        click.setSingleShot(true);
        QObject::connect(&click, &QTimer::timeout, [&, duringRun] {
            innerOk = inner.run();
            innerStatus = status_;
            innerDone = true;
            if (duringRun) op::Click(panelHandle, PANEL_BTNSTOP);
        });
        click.start(at);
        nested_ = true;
        if (duringRun) {
            runFor_ = 60; // the inner action stops the live loop
            outer.run();
            runFor_ = 0;
        } else {
            outer.run();
        }
        op::WaitUntil([&] { return innerDone; }, inner.limit + 2.0);
        nested_ = false;
        if (!innerDone) error(std::string(inner.name) + " never ran");
        ++impatientDone_;
        ++onModel().impatient;
        status_ = innerStatus;
        return innerOk;
    };
    return a;
}

void Soak::learnControllerValues() {
    if (!line_->plugged()) return;
    const sim::ControllerModel& model = line_->sim().model();
    for (const sim::Parameters& page : {model.ramParameters(), model.eepromParameters()})
        for (int i = 0; i < 15; ++i)
            legit_[i].insert(page[i]);
    // And every page 0 the controller sent: a value it held only for a moment (taught, then
    // overwritten by a Send) may have been read then.
    for (const sim::ReplyRecord& r : line_->sim().line().replies()) {
        if ((r.order != kOrderReadRam && r.order != kOrderReadEeprom) || r.reply.size() != 36 ||
            r.reply[4] != 0 || r.reply[5] != kPage0)
            continue;
        for (int i = 0; i < 15; ++i)
            legit_[i].insert(
                static_cast<unsigned short>(r.reply[6 + 2 * i] << 8 | r.reply[7 + 2 * i]));
    }
}

void Soak::checkParameters(const char* after, Fault fault) {
    learnControllerValues();
    const op::ParameterSet vars = op::ParameterVariables(), fields = op::ParameterFields();
    const bool lineNoise = fault == kCorrupt || fault == kExtra || fault == kDelay;
    for (int i = 0; i < 15; ++i) {
        const unsigned short field = fields[i];
        for (const auto& [value, where] :
             {std::pair{vars[i], "variable"}, std::pair{field, "field"}}) {
            if (legit_[i].count(value)) continue;
            if (lineNoise) {
                legit_[i].insert(value);
                continue;
            }
            error(std::string(after) + ": parameter " + std::to_string(i + 1) + " " + where +
                  " holds " + std::to_string(value) + ", which the controller never held");
            legit_[i].insert(value); // reported once
        }
    }
}

bool Soak::ringAsController(const char* what) {
    if (kind_ != kClean || !line_->plugged()) return true;
    const sim::RingBuffer ring = line_->sim().model().ring();
    if (std::equal(ring.values.begin(), ring.values.end(), yArrayA) &&
        yArrayA[kRingIndexWord] == ring.index)
        return true;
    error(std::string(what) + ": the ring read differs from the controller's ring");
    return false;
}

void Soak::error(const std::string& text) {
    ++errors_;
    if (line_) ++onModel().errors;
    std::fprintf(stderr, "ERROR after %ld actions: %s\n", done_, text.c_str());
}

void Soak::press(int panel, int control) {
    if (op::Dimmed(panel, control))
        error(std::string(runningAct.load()) + ": button " + std::to_string(control) +
              " is dimmed");
    op::Click(panel, control);
    status_ = op::Status();
}

void Soak::selectTarget(int radio, int value) {
    for (int i = 0; i < 2 && target != value; ++i) // a second click on an "on" target
        op::Click(panelHandle, radio);
}

void Soak::showParaII(bool shown) {
    if (op::IntValue(panelHandle, PANEL_TOGBTNPARAII) != shown)
        op::Click(panelHandle, PANEL_TOGBTNPARAII);
}

std::string Soak::cfgExpected() const {
    // The parameter file the panels' values give: 32 numbers, five characters wide.
    std::string text;
    for (unsigned short page = 0; page < 2; ++page) {
        CopyVarsToPP(page);
        for (int i = 0; i < PNUM; ++i) {
            char line[16];
            std::snprintf(line, sizeof line, "%5u\n", static_cast<unsigned>(pp[i]));
            text += line;
        }
    }
    CopyVarsToPP(0);
    return text;
}

bool Soak::fileWhole(const std::string& path, const std::string& expected, const char* what) {
    const std::string content = ReadAll(path);
    if (content == expected) return true;
    error(std::string(what) + " not whole: " + std::to_string(content.size()) + " bytes, " +
          std::to_string(expected.size()) + " expected");
    return false;
}

bool Soak::runLive() {
    showParaII(false);
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, static_cast<int>(rng_() % 2));
    const std::uint64_t before = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
    // The operator presses Stop after a while, if the live loop is still running then. The timer
    // ends with this action: a live loop that ended by itself must not leave a Stop click behind
    // that lands in a later action (Stop flushes the line and would cut that action's reply).
    QTimer stop;
    stop.setSingleShot(true);
    QObject::connect(&stop, &QTimer::timeout, [] { op::Click(panelHandle, PANEL_BTNSTOP); });
    stop.start(static_cast<int>(runFor_ * 1000));
    const std::string statusBefore = op::Status();
    press(panelHandle, PANEL_BTNRUN);
    stop.stop();
    const bool drawn = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW) > before;
    const bool ok = status_ == kTextLineOk && drawn;
    if (status_ == kTextLineOk && !drawn) status_ = "Line Ok! (no frame drawn)";
    // Stopped before the line timeout on a line that took no request: the status is left as it was.
    if (!ok && status_ == statusBefore) status_ = "(status unchanged)";
    // A live loop that ended by itself leaves Data dimmed until the operator presses Stop.
    if (op::Dimmed(panelHandle, PANEL_BTNDATA)) op::Click(panelHandle, PANEL_BTNSTOP);
    return ok;
}

bool Soak::getParameters(int radio, int value, bool eeprom) {
    selectTarget(radio, value);
    press(panelHandle, PANEL_BTN14);
    if (status_ != kGot) return false;
    // A Send clicked while this Get waited may change the controller after the page was read.
    if (line_->plugged() && kind_ == kClean && !nested_) {
        sim::ControllerModel& model = line_->sim().model();
        const int held = (eeprom ? model.eepromParameters() : model.ramParameters())[0];
        const int shown = op::IntValue(panelHandle, PANEL_NUM_POWERA);
        if (shown != held)
            error(std::string(runningAct.load()) + ": Power A shows " + std::to_string(shown) +
                  ", the controller holds " + std::to_string(held));
    }
    return true;
}

bool Soak::sendParameters(int radio, int value, bool eeprom) {
    selectTarget(radio, value);
    const int power = static_cast<int>(rng_() % 65536);
    legit_[0].insert(static_cast<unsigned short>(power));
    op::EnterNumber(panelHandle, PANEL_NUM_POWERA, power);
    press(panelHandle, PANEL_BTNSEND);
    if (status_ != kTextTransmitOk) return false;
    if (kind_ == kClean) {
        // Nothing lost: the controller holds what was sent once its bytes have crossed.
        op::Pump(0.1);
        sim::ControllerModel& model = line_->sim().model();
        const int held = (eeprom ? model.eepromParameters() : model.ramParameters())[0];
        if (held != power)
            error(std::string(runningAct.load()) + ": controller holds Power A " +
                  std::to_string(held) + " after sending " + std::to_string(power));
    }
    return true;
}

Soak::Outcome Soak::perform(const Action& action) {
    runFor_ = &action == &actions_[0] ? 0.3 + static_cast<double>(rng_() % 2000) / 1000.0 : 0;
    const double limit = action.limit + runFor_;
    // The operator's hand moves between two clicks; replies still under way from the last
    // action (the live loop's last request) land meanwhile.
    op::Pump(kThinkTime);
    const double start = op::Now();
    runningUntil = start + limit;
    runningAct = action.name;
    Outcome out;
    status_.clear();
    out.ok = action.run();
    out.status = status_;
    runningAct = nullptr;
    out.seconds = op::Now() - start;
    if (out.seconds - limit > 0.5)
        error(std::string(action.name) + " took " + std::to_string(out.seconds) + " s, limit " +
              std::to_string(limit) + " s");
    longestOver_ = std::max(longestOver_, out.seconds - limit);
    if (out.seconds > longestSeconds_) longestSeconds_ = out.seconds, longestAct_ = action.name;
    ++done_;
    ++onModel().actions;
    return out;
}

void Soak::check(const Action& action, const Outcome& out, Fault fault, bool mustSucceed) {
    checkParameters(action.name, fault);
    if (opt_.verbose)
        std::printf("%7.1f  %-10s %-17s %5.2f s  %s\n", Timer(), kFaultName[fault], action.name,
                    out.seconds, out.status.c_str());
    if (out.ok) return;
    if (mustSucceed) {
        error(std::string(action.name) + " failed on a quiet line: \"" + out.status + "\"");
        // What the controller saw and sent last, to tell a late reply from a lost one.
        if (!line_->plugged()) return;
        const auto now = sim::Clock::now();
        const std::vector<sim::RequestRecord> requests = line_->sim().model().requests();
        for (std::size_t i = requests.size() > 8 ? requests.size() - 8 : 0; i < requests.size();
             ++i)
            std::fprintf(stderr, "  request order %u, %.3f s ago\n", requests[i].order,
                         sim::secondsBetween(requests[i].arrival, now));
        for (const sim::ReplyRecord& r : line_->sim().line().replies())
            std::fprintf(stderr, "  reply order %u, %zu bytes, starts %+.3f s from now\n", r.order,
                         r.sent.size(), -sim::secondsBetween(r.start, now));
        // Bytes that came and were never taken (a reply the notification missed) show here.
        std::fprintf(stderr, "  input queue now: %d bytes\n", GetInQLen(com));
        // And what the program wrote and took last, in its own trace's milliseconds.
        char text[kTraceLineMax];
        const unsigned long long frames = TraceCount();
        for (unsigned long long n = frames > 8 ? frames - 8 : 0; n < frames; ++n)
            if (TraceLine(n, text, sizeof text) >= 0) std::fprintf(stderr, "  %.100s\n", text);
        return;
    }
    ++failures_[std::string(action.name) + ": " + out.status];
    ++onModel().failed;
    const std::string firmware = line_->plugged() ? line_->sim().model().firmware() : "";
    if (action.failed.count(out.status) || action.ok.count(out.status) || out.status == firmware)
        return;
    // A corrupted firmware reply is shown as it came: the text cannot be checked then.
    if (fault == kCorrupt && std::string(action.name).starts_with(kPortChange)) return;
    error(std::string(action.name) + " shows an unexpected status \"" + out.status + "\"");
}

void Soak::startFault(Fault fault) {
    ++faultPhases_;
    ++injected_[kFaultName[fault]];
    if (fault == kHangUp) return line_->unplug();
    sim::FaultConfig f;
    f.seed = rng_();
    const double p = 0.3 + static_cast<double>(rng_() % 60) / 100.0;
    f.drop = fault == kDrop ? p : 0;
    f.delay = fault == kDelay ? p : 0;
    f.delaySeconds = 2.2; // past every reply time limit
    f.cutShort = fault == kShort ? p : 0;
    f.corrupt = fault == kCorrupt ? p : 0;
    f.extra = fault == kExtra ? p : 0;
    line_->sim().line().setFaults(f);
}

void Soak::clearFault(Fault fault) {
    sim::Clock::time_point quietAt = sim::Clock::now(); // when the last reply has crossed
    for (const sim::ReplyRecord& r : line_->sim().line().replies()) {
        quietAt = std::max(quietAt, r.start + line_->sim().line().byteTime() *
                                                  static_cast<long>(r.sent.size()));
        const sim::FaultOutcome& f = r.fault;
        const std::pair<bool, const char*> kinds[] = {
            {f.drop, "dropped"},
            {f.delaySeconds > 0, "delayed"},
            {f.keepBytes != sim::FaultOutcome::kWhole, "cut short"},
            {!f.flips.empty(), "corrupt"},
            {!f.extra.empty(), "extra"}};
        for (const auto& [hit, name] : kinds)
            faultedReplies_[name] += hit;
    }
    line_->sim().line().clearReplies();
    // The adapter comes back; the operator chooses the port again.
    if (fault == kHangUp) return line_->plugIn();
    line_->sim().line().setFaults({});
    // The fault has cleared once every late reply has crossed the line (late replies queue behind
    // each other) and been thrown away.
    op::WaitUntil([quietAt] { return sim::Clock::now() > quietAt; }, 60);
    op::Pump(0.3);
}

int Soak::run() {
    // Paths with spaces and non-ASCII characters, as operators name their folders.
    const std::string base = dir_.path().toStdString() + "/Prüfstand 3 – Messungen";
    std::error_code failed;
    if (!dir_.isValid() || !std::filesystem::create_directories(base, failed)) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    cfg_ = base + "/Parameter Linie ä.cfg";
    record_ = base + "/Ring Puffer ö.dat";
    line_ = std::make_unique<op::PluggableLine>(dir_.path().toStdString() + "/ttyVX12", true);
    op::MapPort(2, line_->device());
    op::Program program(line_->device());
    if (program.startResult() != 0 || op::Status() != line_->sim().model().firmware()) {
        std::fprintf(stderr, "start-up failed: %d \"%s\"\n", program.startResult(),
                     op::Status().c_str());
        return 1;
    }

    // What the panels held before the controller's values came in is the operator's.
    {
        const unsigned short start[15] = {500, 900, 600, 950, 0, 1, 100, 8, 1, 0, 0, 0, 0, 500, 0};
        for (int i = 0; i < 15; ++i)
            legit_[i].insert(start[i]);
    }
    learnControllerValues();
    checkParameters("start-up", kClean);
    std::thread watchdog(Watchdog);
    const double end = op::Now() + opt_.seconds;
    const double rssEarlyAt = op::Now() + std::min(60.0, opt_.seconds / 4);
    double rssEarly = 0; // MB
    const op::Usage usageStart = op::TakeUsage();
    // Two actions in three are impatient ones, so that each line model meets many of them.
    const auto pick = [this](bool lineOnly) -> const Action& {
        for (;;) {
            const std::size_t from = rng_() % 3 != 0 ? firstImpatient_ : 0;
            const std::size_t to = from == 0 ? firstImpatient_ : actions_.size();
            if (const Action& a = actions_[from + rng_() % (to - from)]; !lineOnly || a.line)
                return a;
        }
    };
    bool mustSucceedNext = false;
    const std::vector<sim::LineModel> models = sim::LineModelsUnderTest();
    for (std::size_t phase = 0; op::Now() < end; ++phase) {
        // The next line model: the adapter is swapped, and the operator chooses the port again.
        if (const sim::LineModel& model = models[phase % models.size()];
            !(model == line_->model())) {
            line_->plugIn(model);
            check(*portChange_, perform(*portChange_), kClean, true);
        }
        // A few actions on a quiet line, then a few while one kind of fault is on.
        const int quiet = 1 + static_cast<int>(rng_() % 4);
        for (int i = 0; i < quiet && op::Now() < end; ++i) {
            const Action& action = pick(mustSucceedNext);
            check(action, perform(action), kClean, true);
            mustSucceedNext = false;
        }
        if (rssEarly == 0 && op::Now() >= rssEarlyAt) rssEarly = op::CurrentRssMb();
        if (op::Now() >= end) break;

        const auto fault = static_cast<Fault>(1 + rng_() % (kFaults - 1));
        kind_ = fault;
        startFault(fault);
        const int faulty = 2 + static_cast<int>(rng_() % 4);
        for (int i = 0; i < faulty; ++i) {
            const Action& action = pick(false);
            check(action, perform(action), fault, false);
        }
        clearFault(fault);
        kind_ = kClean;
        // After a hang-up, choosing the port again must bring the line back at once; after any
        // other fault, the first line action must work.
        if (fault == kHangUp) check(*portChange_, perform(*portChange_), kClean, true);
        mustSucceedNext = fault != kHangUp;
    }
    finished = true;
    watchdog.join();
    const double rssEnd = op::CurrentRssMb();
    const op::Usage usageEnd = op::TakeUsage();

    std::printf("\nsoak: %.0f s, seed %llu\nactions done:        %ld\nfault phases:        %ld (",
                opt_.seconds, opt_.seed, done_, faultPhases_);
    for (const auto& [name, count] : injected_)
        std::printf("%s %ld ", name.c_str(), count);
    long touched = 0, failedActions = 0;
    std::printf(")\nfaulted replies:     ");
    for (const auto& [name, count] : faultedReplies_) {
        std::printf("%s %ld, ", name.c_str(), count);
        touched += count;
    }
    std::printf("in all %ld\n", touched);
    for (const auto& kv : failures_)
        failedActions += kv.second;
    std::printf("failed actions:      %ld, by kind:\n", failedActions);
    for (const auto& [what, count] : failures_)
        std::printf("  %5ld  %s\n", count, what.c_str());
    std::printf("impatient actions:   %ld (during Run or while another action waited)\n",
                impatientDone_);
    std::printf("longest action:      %.2f s (%s); closest to its limit: %+.2f s\n",
                longestSeconds_, longestAct_.c_str(), longestOver_);
    std::printf("per line model:      actions  impatient  failed  errors\n");
    for (const auto& [name, m] : perModel_)
        std::printf("  %-16s  %7ld  %9ld  %6ld  %6ld\n", name.c_str(), m.actions, m.impatient,
                    m.failed, m.errors);
    std::printf("resident memory:     %.1f MB early, %.1f MB at the end\n", rssEarly, rssEnd);
    std::printf("processor time:      %.1f s\n", usageEnd.cpu - usageStart.cpu);
    // Memory must settle: allow for caches filling once, not for growth with every action.
    if (rssEarly > 0 && rssEnd - rssEarly > 16.0)
        error("resident memory grew by " + std::to_string(rssEnd - rssEarly) + " MB");
    std::printf("errors:              %ld\n", errors_);
    return errors_ == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            opt.seconds = std::atof(argv[++i]);
        } else if (a == "--seed" && i + 1 < argc) {
            opt.seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--verbose") {
            opt.verbose = true;
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N] [--seed S] [--verbose]\n", argv[0]);
            return 2;
        }
    }
    op::UseOffscreenPlatform();
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // progress and errors interleave in order
    QApplication app(argc, argv);
    Soak soak(opt);
    return soak.run();
}
