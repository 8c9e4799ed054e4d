// Fault soak: the operator program against the simulated controller while the line misbehaves.
// Replies are dropped, delayed past the time limits, cut short, corrupted or followed by extra
// bytes, and the line is unplugged and plugged in again; meanwhile the operator's actions run in a
// seeded random order. Every action must return within its time limit (+0.5 s), show one of its
// own status texts, succeed on a quiet line (the first action after a fault clears included), and
// every file written must be whole. Memory must not grow.
//
//   evok-soak [--seconds N] [--seed S] [--verbose]
//
// Exit status 0 when every check held; 1 otherwise; 3 when an action hung (watchdog).
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "runtime/timing.h"
#include "tests/harness/operator.h"
#include "tests/harness/program.h"
#include "tests/harness/usage.h"
#include "views/datablock.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace evok;

// The operator's actions.
enum Act {
    kRun,
    kGetRam,
    kGetEeprom,
    kSendRam,
    kSendEeprom,
    kDataRaw,
    kDataNorm,
    kDataDelta,
    kRingRead,
    kTeach,
    kReset,
    kRefresh,
    kPortChange,
    kFileSave,
    kFileLoad,
    kRecordStore,
    kActs
};

struct ActInfo {
    const char* name;
    double limit; // seconds: the longest the program may take by its own time limits
    bool line;    // talks to the controller
};

// Time limits: a parameter page read 1.5 s, a write 2 s, a data block 1.5 s, the firmware text
// 2 s, the echo read 2 s (after 50 ms), the teach/reset/refresh reply 1.5 s plus its read-back.
constexpr double kPage = 1.5, kWrite = 2.0, kBlock = 1.5, kCommand = 1.5;
const ActInfo kInfo[kActs] = {
    {"Run/Stop", 0, true}, // the time the operator lets it run + the line timeout, set per run
    {"Get RAM", 2 * kPage + 2 * kWrite, true},
    {"Get EEPROM", 2 * kPage + 2 * kWrite, true},
    {"Send RAM", 0.1 + 2 * kWrite, true},
    {"Send EEPROM", 0.1 + 2 * kWrite, true},
    {"Data raw", kPage + 2 * kBlock + 3 * kWrite, true},
    {"Data normalised", kPage + 2 * kBlock + 3 * kWrite, true},
    {"Data delta-T", kPage + 4 * kBlock + 5 * kWrite, true},
    {"Ring-buffer read", kPage + 4 * kBlock + 5 * kWrite, true},
    {"Teach", kCommand + kPage + 2 * kWrite, true},
    {"Reset", kCommand + kPage + 2 * kWrite, true},
    {"Refresh", kCommand + kPage + 2 * kWrite, true},
    {"Port change", 0.05 + 2.0 + 2 * kPage + 2.0 + 4 * kWrite, true},
    {"File save", 0.5, false},
    {"File load", 0.5, false},
    {"Record store", 0.5, false},
};

constexpr double kThinkTime = 0.3; // seconds between two of the operator's actions

enum Fault { kClean, kDrop, kDelay, kShort, kCorrupt, kExtra, kHangUp, kFaults };
const char* const kFaultName[kFaults] = {"clean",   "dropped", "delayed", "cut short",
                                         "corrupt", "extra",   "hang-up"};

// What each action shows when it worked, and the texts it may show when it did not.
struct Texts {
    std::set<std::string> ok, failed;
};

const std::set<std::string> kOpenErrors = {
    "Unknown system error", "Invalid port number", "Port is not open",  "Unknown I/0 error",
    "No serial port found", "Cannot open port",    "Invalid parameter", "Timeout",
    "RS-232 error!"};

Texts TextsOf(Act act, const std::string& firmware) {
    const std::string got = "Parameter-frame received! - Line Ok!";
    const std::string block = "Data[64] block received!";
    const std::set<std::string> blockFailed = {"Timeout-RS-232 while reading 64 data-words!",
                                               "Waiting for Data[64] ..."};
    switch (act) {
    case kRun:
        // Stopped before the line timeout: no frame came, or nothing could be sent.
        return {{"Line Ok!"},
                {"Timeout RS232-Line!", "Line Ok! (no frame drawn)", "(status unchanged)"}};
    case kGetRam:
    case kGetEeprom:
        return {{got}, {"Waiting for parameter-frame ...", "Receive..."}};
    case kSendRam:
    case kSendEeprom:
        return {{"Transmit para Ok!"}, {"Transmit...", "Transmit para1 Ok!"}};
    case kDataRaw:
    case kDataNorm:
    case kDataDelta:
    case kRingRead:
        return {{block}, blockFailed};
    case kTeach:
    case kReset:
    case kRefresh:
        return {{got},
                {"Timeout RS-232!!", "Waiting for parameter-frame ...", "Line Ok!",
                 "New setpoint value teached!", "Teach new Reference-Value ..."}};
    case kPortChange: {
        // A firmware reply of the wrong length leaves the text of an earlier step standing: the
        // echo check's, a parameter page's time-out or the firmware wait's own.
        Texts t{{firmware},
                {"Timeout < 36 Bytes", "read error - not sync byte 0xAA!",
                 "Error reading firmware-info!", "Echo Check - Line Ok!", "Timeout-RS-232...",
                 "Timeout - reading firmware info!", "Init COM-Port ..."}};
        t.failed.insert(kOpenErrors.begin(), kOpenErrors.end());
        return t;
    }
    case kFileSave:
        return {{"Transmit..."}, {}};
    case kFileLoad:
        return {{"Receive..."}, {}};
    default:
        return {{}, {}};
    }
}

struct Options {
    double seconds = 20;
    unsigned long long seed = 1;
    bool verbose = false;
};

// The action running now, for the watchdog thread.
std::atomic<int> runningAct{-1};
std::atomic<double> runningSince{0};
std::atomic<double> runningLimit{0};
std::atomic<bool> finished{false};

// Ends the process when an action is stuck far past its limit: a hang must not stall the run.
void Watchdog() {
    while (!finished) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const int act = runningAct;
        if (act < 0) continue;
        const double over = op::Now() - runningSince - runningLimit;
        if (over > 10.0) {
            std::fprintf(stderr, "HANG: %s has run %.1f s past its limit\n", kInfo[act].name, over);
            std::fflush(stderr);
            std::_Exit(3);
        }
    }
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Soak {
public:
    explicit Soak(const Options& o) : opt_(o), rng_(o.seed) {}
    int run();

private:
    struct Outcome {
        std::string status;
        double seconds = 0;
        bool ok = false;
    };

    Outcome perform(Act act);
    void check(Act act, const Outcome& out, Fault fault, bool mustSucceed);
    void startFault(Fault fault);
    void clearFault(Fault fault);
    void countFaultedReplies();
    void error(const std::string& text);
    // The operator presses a button; finding it dimmed means the program is stuck.
    void press(int panel, int control);
    Act pick(bool lineOnly);
    void selectTarget(int radio, int value);
    bool fileWhole(const std::string& path, const std::string& expected, const char* what);
    std::string cfgExpected() const;
    std::string recordExpected() const;

    Options opt_;
    std::mt19937_64 rng_;
    QTemporaryDir dir_;
    std::unique_ptr<op::PluggableLine> line_;
    std::string cfg_, record_;
    bool cfgSaved_ = false;
    unsigned savedPower_ = 0;
    int port_ = 1;
    Fault kind_ = kClean;                // the fault on the line now
    sim::Clock::time_point lineQuietAt_; // when the last reply sent so far has crossed

    long actions_ = 0, faultPhases_ = 0, errors_ = 0;
    std::map<std::string, long> injected_;                  // fault kind: phases
    std::map<std::string, long> faultedReplies_;            // fault kind: replies touched
    std::map<std::string, long> failures_;                  // action: status -> count
    std::map<std::string, std::pair<double, int>> longest_; // action: seconds, over limit
    double longestOver_ = -1e9;
    std::string longestAct_;
    double longestSeconds_ = 0;
};

void Soak::error(const std::string& text) {
    ++errors_;
    std::fprintf(stderr, "ERROR after %ld actions: %s\n", actions_, text.c_str());
}

void Soak::press(int panel, int control) {
    if (op::Attribute(panel, control, kAttrDimmed) != 0)
        error(std::string(kInfo[runningAct.load()].name) + ": button " + std::to_string(control) +
              " is dimmed");
    op::Click(panel, control);
}

Act Soak::pick(bool lineOnly) {
    for (;;) {
        const auto act = static_cast<Act>(rng_() % kActs);
        if (!lineOnly || kInfo[act].line) return act;
    }
}

void Soak::selectTarget(int radio, int value) {
    if (target != value) op::Click(panelHandle, radio);
    if (target != value) op::Click(panelHandle, radio); // a second click on an "on" target
}

std::string Soak::cfgExpected() const {
    // The parameter file the panels' values give: 32 numbers, five characters wide.
    std::string text;
    for (int page = 0; page < 2; ++page) {
        CopyVarsToPP(static_cast<unsigned short>(page));
        for (int i = 0; i < PNUM; ++i) {
            char line[16];
            std::snprintf(line, sizeof line, "%5u\n", static_cast<unsigned>(pp[i]));
            text += line;
        }
    }
    CopyVarsToPP(0);
    return text;
}

std::string Soak::recordExpected() const {
    std::string text =
        "E-VOK-VX12-RING-BUFFER-FILE: Actual index: " + std::to_string(yArrayA[kRingIndexWord]);
    for (int i = 0; i < kRingValues; ++i)
        text += "\n" + std::to_string(yArrayA[i]);
    return text + "\n";
}

bool Soak::fileWhole(const std::string& path, const std::string& expected, const char* what) {
    const std::string content = ReadAll(path);
    if (content == expected) return true;
    error(std::string(what) + " not whole: " + std::to_string(content.size()) + " bytes, " +
          std::to_string(expected.size()) + " expected");
    return false;
}

Soak::Outcome Soak::perform(Act act) {
    Outcome out;
    double limit = kInfo[act].limit;
    double runFor = 0;
    if (act == kRun) {
        runFor = 0.3 + static_cast<double>(rng_() % 2000) / 1000.0;
        limit = runFor + 2.0 + 2 * kWrite;
    }
    // The operator's hand moves between two clicks; replies still under way from the last
    // action (the live loop's last request) land meanwhile.
    op::Pump(kThinkTime);
    runningLimit = limit;
    runningSince = op::Now();
    runningAct = act;
    const double start = op::Now();

    switch (act) {
    case kRun: {
        if (op::IntValue(panelHandle, PANEL_TOGBTNPARAII) == 1)
            op::Click(panelHandle, PANEL_TOGBTNPARAII);
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, static_cast<int>(rng_() % 2));
        const std::uint64_t before = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW);
        // The operator presses Stop after a while, if the live loop is still running then.
        bool returned = false;
        QTimer::singleShot(static_cast<int>(runFor * 1000), [&returned] {
            if (!returned) op::Click(panelHandle, PANEL_BTNSTOP);
        });
        const std::string statusBefore = op::Status();
        press(panelHandle, PANEL_BTNRUN);
        returned = true;
        out.status = op::Status();
        const std::uint64_t frames =
            StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW) - before;
        out.ok = out.status == "Line Ok!" && frames > 0;
        if (out.status == "Line Ok!" && frames == 0) out.status = "Line Ok! (no frame drawn)";
        // Stopped before the line timeout on a line that took no request: the status is left
        // as it was.
        if (!out.ok && out.status == statusBefore) out.status = "(status unchanged)";
        // A live loop that ended by itself leaves Data dimmed until the operator presses Stop.
        if (op::Attribute(panelHandle, PANEL_BTNDATA, kAttrDimmed) != 0)
            op::Click(panelHandle, PANEL_BTNSTOP);
        break;
    }
    case kGetRam:
    case kGetEeprom: {
        selectTarget(act == kGetRam ? PANEL_RBTRAM : PANEL_RBTEEPROM,
                     act == kGetRam ? RAM : EEPROM);
        press(panelHandle, PANEL_BTN14);
        out.status = op::Status();
        out.ok = out.status == "Parameter-frame received! - Line Ok!";
        if (out.ok && line_->plugged()) {
            const sim::Parameters held = act == kGetRam ? line_->sim().model().ramParameters()
                                                        : line_->sim().model().eepromParameters();
            const int shown = op::IntValue(panelHandle, PANEL_NUM_POWERA);
            if (shown != held[0] && kind_ == kClean)
                error(std::string(kInfo[act].name) + ": Power A shows " + std::to_string(shown) +
                      ", the controller holds " + std::to_string(held[0]));
        }
        break;
    }
    case kSendRam:
    case kSendEeprom: {
        selectTarget(act == kSendRam ? PANEL_RBTRAM : PANEL_RBTEEPROM,
                     act == kSendRam ? RAM : EEPROM);
        const int power = static_cast<int>(rng_() % 65536);
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, power);
        press(panelHandle, PANEL_BTNSEND);
        out.status = op::Status();
        out.ok = out.status == "Transmit para Ok!";
        if (out.ok && kind_ == kClean) {
            // Nothing lost: the controller holds what was sent once its bytes have crossed.
            op::Pump(0.1);
            const sim::Parameters held = act == kSendRam ? line_->sim().model().ramParameters()
                                                         : line_->sim().model().eepromParameters();
            if (held[0] != power)
                error(std::string(kInfo[act].name) + ": controller holds Power A " +
                      std::to_string(held[0]) + " after sending " + std::to_string(power));
        }
        break;
    }
    case kDataRaw:
    case kDataNorm:
    case kDataDelta:
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, act - kDataRaw);
        press(panelHandle, PANEL_BTNDATA);
        out.status = op::Status();
        out.ok = out.status == "Data[64] block received!";
        break;
    case kRingRead:
        if (op::IntValue(panelHandle, PANEL_TOGBTNPARAII) == 0)
            op::Click(panelHandle, PANEL_TOGBTNPARAII);
        press(panelPopUp, POPUP_BTNGETDATA);
        out.status = op::Status();
        out.ok = out.status == "Data[64] block received!";
        if (op::TextValue(panelPopUp, POPUP_RINGTEXT) != "DATA-RING-BUFFER-256" ||
            op::Attribute(panelHandle, PANEL_BTNDATA, kAttrDimmed) != 0)
            error("ring-buffer read left its panel busy");
        break;
    case kTeach:
    case kReset:
    case kRefresh: {
        const int button[] = {PANEL_BTNTEACH, PANEL_BTNRESET, PANEL_BTNREFRESH};
        press(panelHandle, button[act - kTeach]);
        out.status = op::Status();
        out.ok = out.status == "Parameter-frame received! - Line Ok!";
        break;
    }
    case kPortChange:
        port_ = port_ == 1 ? 2 : 1;
        op::SelectRing(panelHandle, PANEL_DROPDCOM, port_);
        out.status = op::Status();
        out.ok = line_->plugged() && out.status == line_->sim().model().firmware();
        break;
    case kFileSave:
        selectTarget(PANEL_RBTFILE, DATFILE);
        QueueFileSelectAnswer(2, cfg_);
        press(panelHandle, PANEL_BTNSEND);
        out.status = op::Status();
        out.ok = fileWhole(cfg_, cfgExpected(), "parameter file");
        if (out.ok) {
            cfgSaved_ = true;
            savedPower_ = powerA;
        }
        break;
    case kFileLoad:
        selectTarget(PANEL_RBTFILE, DATFILE);
        QueueFileSelectAnswer(1, cfg_);
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, 1);
        press(panelHandle, PANEL_BTN14);
        out.status = op::Status();
        if (cfgSaved_) {
            out.ok = out.status == "Receive..." && powerA == savedPower_;
            if (!out.ok)
                error("parameter file loaded Power A " + std::to_string(powerA) + ", saved " +
                      std::to_string(savedPower_));
        } else {
            out.ok = out.status == "Error reading parameter-file - not loaded!";
        }
        break;
    case kRecordStore:
        if (op::IntValue(panelHandle, PANEL_TOGBTNPARAII) == 0)
            op::Click(panelHandle, PANEL_TOGBTNPARAII);
        QueueFileSelectAnswer(2, record_);
        press(panelPopUp, POPUP_BTNRECFILE);
        press(panelPopUp, POPUP_BTNSTOREDATA);
        out.status = op::Status();
        out.ok = fileWhole(record_, recordExpected(), "record file");
        break;
    default:
        break;
    }
    runningAct = -1;
    out.seconds = op::Now() - start;
    const double over = out.seconds - limit;
    if (over > 0.5)
        error(std::string(kInfo[act].name) + " took " + std::to_string(out.seconds) + " s, limit " +
              std::to_string(limit) + " s");
    if (over > longestOver_) longestOver_ = over;
    if (out.seconds > longestSeconds_) {
        longestSeconds_ = out.seconds;
        longestAct_ = kInfo[act].name;
    }
    ++actions_;
    return out;
}

void Soak::check(Act act, const Outcome& out, Fault fault, bool mustSucceed) {
    const Texts texts = TextsOf(act, line_->plugged() ? line_->sim().model().firmware() : "");
    if (opt_.verbose)
        std::printf("%7.1f  %-10s %-17s %5.2f s  %s\n", Timer(), kFaultName[fault], kInfo[act].name,
                    out.seconds, out.status.c_str());
    if (out.ok) return;
    if (mustSucceed) {
        error(std::string(kInfo[act].name) + " failed on a quiet line: \"" + out.status + "\"");
        return;
    }
    ++failures_[std::string(kInfo[act].name) + ": " + out.status];
    if (texts.failed.count(out.status) || texts.ok.count(out.status)) return;
    // A corrupted firmware reply is shown as it came: the text cannot be checked then.
    if (fault == kCorrupt && act == kPortChange) return;
    error(std::string(kInfo[act].name) + " shows an unexpected status \"" + out.status + "\"");
}

void Soak::startFault(Fault fault) {
    ++faultPhases_;
    ++injected_[kFaultName[fault]];
    if (fault == kHangUp) {
        line_->unplug();
        return;
    }
    sim::FaultConfig f;
    f.seed = rng_();
    const double p = 0.3 + static_cast<double>(rng_() % 60) / 100.0;
    switch (fault) {
    case kDrop:
        f.drop = p;
        break;
    case kDelay:
        f.delay = p;
        f.delaySeconds = 2.2; // past every reply time limit
        break;
    case kShort:
        f.cutShort = p;
        break;
    case kCorrupt:
        f.corrupt = p;
        break;
    case kExtra:
        f.extra = p;
        break;
    default:
        break;
    }
    line_->sim().line().setFaults(f);
}

void Soak::countFaultedReplies() {
    lineQuietAt_ = sim::Clock::now();
    for (const sim::ReplyRecord& r : line_->sim().line().replies()) {
        lineQuietAt_ = std::max(lineQuietAt_, r.start + line_->sim().line().byteTime() *
                                                            static_cast<long>(r.sent.size()));
        const sim::FaultOutcome& f = r.fault;
        if (f.drop) ++faultedReplies_["dropped"];
        if (f.delaySeconds > 0) ++faultedReplies_["delayed"];
        if (f.keepBytes != sim::FaultOutcome::kWhole) ++faultedReplies_["cut short"];
        if (!f.flips.empty()) ++faultedReplies_["corrupt"];
        if (!f.extra.empty()) ++faultedReplies_["extra"];
    }
    line_->sim().line().clearReplies();
}

void Soak::clearFault(Fault fault) {
    countFaultedReplies();
    if (fault == kHangUp) {
        // The adapter comes back; the operator chooses the port again.
        line_->plugIn();
        return;
    }
    line_->sim().line().setFaults({});
    // The fault has cleared once the line is quiet: every late reply has crossed the line (late
    // replies queue behind each other) and been thrown away.
    op::WaitUntil([this] { return sim::Clock::now() > lineQuietAt_; }, 60);
    op::Pump(0.3);
}

int Soak::run() {
    if (!dir_.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    // Paths with spaces and non-ASCII characters, as operators name their folders.
    const std::string base = dir_.path().toStdString() + "/Prüfstand 3 – Messungen";
    if (std::system(("mkdir -p '" + base + "'").c_str()) != 0) return 1;
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

    std::thread watchdog(Watchdog);
    const double end = op::Now() + opt_.seconds;
    double rssEarly = 0; // MB
    const double rssEarlyAt = op::Now() + std::min(60.0, opt_.seconds / 4);
    const op::Usage usageStart = op::TakeUsage();
    bool mustSucceedNext = false;
    while (op::Now() < end) {
        // A few actions on a quiet line, then a few while one kind of fault is on.
        const int quiet = 1 + static_cast<int>(rng_() % 4);
        for (int i = 0; i < quiet && op::Now() < end; ++i) {
            const Act act = pick(mustSucceedNext);
            kind_ = kClean;
            const Outcome out = perform(act);
            check(act, out, kClean, true);
            mustSucceedNext = false;
        }
        if (rssEarly == 0 && op::Now() >= rssEarlyAt) rssEarly = op::CurrentRssMb();
        if (op::Now() >= end) break;

        const auto fault = static_cast<Fault>(1 + rng_() % (kFaults - 1));
        kind_ = fault;
        startFault(fault);
        const int faulty = 2 + static_cast<int>(rng_() % 4);
        for (int i = 0; i < faulty; ++i) {
            const Act act = pick(false);
            const Outcome out = perform(act);
            check(act, out, fault, false);
        }
        clearFault(fault);
        kind_ = kClean;
        if (fault == kHangUp) {
            // Choosing the port again must bring the line back at once.
            const Outcome out = perform(kPortChange);
            check(kPortChange, out, kClean, true);
        } else {
            mustSucceedNext = true; // the first line action after the fault must work
        }
    }
    finished = true;
    watchdog.join();
    const double rssEnd = op::CurrentRssMb();
    const op::Usage usageEnd = op::TakeUsage();

    std::printf("\nsoak: %.0f s, seed %llu\n", opt_.seconds, opt_.seed);
    std::printf("actions done:        %ld\n", actions_);
    std::printf("fault phases:        %ld (", faultPhases_);
    bool first = true;
    for (const auto& [name, count] : injected_) {
        std::printf("%s%s %ld", first ? "" : ", ", name.c_str(), count);
        first = false;
    }
    std::printf(")\n");
    std::printf("faulted replies:     ");
    long touched = 0;
    for (const auto& [name, count] : faultedReplies_) {
        std::printf("%s %ld, ", name.c_str(), count);
        touched += count;
    }
    std::printf("in all %ld\n", touched);
    long failed = 0;
    for (const auto& kv : failures_)
        failed += kv.second;
    std::printf("failed actions:      %ld, by kind:\n", failed);
    for (const auto& [what, count] : failures_)
        std::printf("  %5ld  %s\n", count, what.c_str());
    std::printf("longest action:      %.2f s (%s); closest to its limit: %+.2f s\n",
                longestSeconds_, longestAct_.c_str(), longestOver_);
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
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // progress and errors interleave in order
    QApplication app(argc, argv);
    Soak soak(opt);
    return soak.run();
}
