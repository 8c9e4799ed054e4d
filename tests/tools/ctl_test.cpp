// evok-vx12-ctl as a script runs it: a separate process on a pseudo-terminal, against the
// simulator and scripted peers; its output, exit code, the requests the controller saw and the
// files it writes, the latter byte for byte against the operator program's own.
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace evok {
namespace {

using OrderList = std::vector<std::uint16_t>;
using Model = sim::ControllerModel;
const char* const kNames[] = {"powerA",   "thd1",    "thd2",    "triglvlA", "deltaT",
                              "polarity", "hold",    "average", "hwmode",   "evalmode",
                              "trigmode", "outmode", "anamode", "sdelay",   "maxmode"};

struct Result {
    int code = -1;
    std::string out, err;
};

// Runs the companion with `args` through the shell, without a display; `wrap` may put it into a
// longer shell command, where "CTL" stands for the program and its redirections.
Result Ctl(const QTemporaryDir& dir, const std::string& args, std::string wrap = "CTL") {
    const std::string out = dir.filePath("stdout").toStdString(), err = out + ".err";
    const std::string run =
        std::string("timeout 20 ") + EVOK_CTL + " " + args + " >" + out + " 2>" + err;
    wrap.replace(wrap.find("CTL"), 3, run);
    const int status = std::system(("env -u DISPLAY sh -c '" + wrap + "'").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, op::FileBytes(out), op::FileBytes(err)};
}

OrderList OrdersSeen(sim::Simulator& s) {
    OrderList orders;
    for (const sim::RequestRecord& r : s.model().requests())
        orders.push_back(r.order);
    return orders;
}

std::string Parameters(const sim::Parameters& values) {
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i)
        text += std::string(kNames[i]) + "=" + std::to_string(values[i]) + "\n";
    return text;
}

template <typename Words> std::string Lines(const Words& words, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += std::to_string(words[i]) + "\n";
    return text;
}

// A measurement whose curve index (200) is beyond the 128 points: the companion clamps it.
const sim::Measurement kFrozen{812, 733, 902, 30, 99, 69, 1, 0, 1, 200};

// Every command on every line model: the orders the controller saw and what it printed.
TEST(Ctl, EachCommandAgainstTheSimulatorOnEveryLine) {
    QTemporaryDir dir;
    const std::string cfg = dir.filePath("line.cfg").toStdString();
    std::ofstream(cfg) << "0\n"
                       << Lines(Model::startValues(), 15) << "1\n"
                       << Lines(sim::Parameters{}, 15);
    const auto readBack = [](const sim::Parameters& p) {
        return std::string(kTextParaReceived) + "\n" + Parameters(p);
    };
    const auto ram = [&](Model& m) { return readBack(m.ramParameters()); };
    // watch's CSV header and rows without their two time columns
    const std::string frozen = "812,733,902,30,99,69,1,0,1,128\n";
    const std::string header = "norm_a,adc_a,amax,t1,t2,delta_t,button,in0,in1,index\n";
    struct Row {
        std::string args;
        OrderList orders;
        std::function<std::string(Model&)> expected; // stdout, from the controller's state after
    } rows[] = {
        {"info", {5, 7}, [](Model&) { return std::string("VX12 FW 3.1 LINE-4\n"); }},
        {"get", {5, 2, 2}, [](Model& m) { return Parameters(m.ramParameters()); }},
        {"get --eeprom", {5, 4, 4}, [](Model& m) { return Parameters(m.eepromParameters()); }},
        {"send " + cfg, {5, 1, 1, 2}, [](Model&) { return std::string(kTextTransmitOk) + "\n"; }},
        {"block raw", {5, 8, 9, 9}, [](Model& m) { return Lines(m.dataArray(0), 128); }},
        {"block norm", {5, 8, 9, 9}, [](Model& m) { return Lines(m.dataArray(1), 128); }},
        {"ring",
         {5, 8, 9, 9, 9, 9},
         [](Model& m) {
             return "index=" + std::to_string(m.ring().index) + "\n" + Lines(m.ring().values, 255);
         }},
        {"watch --frames 3 --csv",
         {5, 2, 8, 8, 8},
         [&](Model&) { return header + frozen + frozen + frozen; }},
        {"teach", {5, 2, 6, 2}, ram},
        {"refresh", {5, 2, 11, 2}, ram},
        {"reset", {5, 2, 10, 2}, [&](Model&) { return readBack(Model::factoryDefaults()); }},
    };
    for (const sim::LineModel& line : sim::LineModelsUnderTest()) {
        sim::Simulator::Options options; // paced as a 19200-baud line
        options.line.model = line;
        sim::Simulator s(options);
        s.model().setFirmware("VX12 FW 3.1 LINE-4");
        s.model().freezeMeasurement(kFrozen);
        sim::ParamPage eeprom = s.model().eepromPage(0);
        eeprom[2] = 65535; // thd1, in EEPROM only
        s.model().setEepromPage(0, eeprom);
        for (const Row& row : rows) {
            SCOPED_TRACE(line.name() + ": " + row.args);
            s.model().clearRequests();
            const Result r = Ctl(dir, "--port " + s.devicePath() + " " + row.args);
            EXPECT_EQ(r.code, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(OrdersSeen(s), row.orders);
            std::string out = r.out;
            for (std::size_t at = 0; row.args.starts_with("watch") && at < out.size();
                 at = out.find('\n', at) + 1)
                out.erase(at, out.find(',', out.find(',', at) + 1) + 1 - at);
            EXPECT_EQ(out, row.expected(s.model()));
        }
        EXPECT_EQ(s.line().flushedRequestBytes(), 0u);
    }
    EXPECT_NE(Model::factoryDefaults(), Model::startValues()); // the reset row tells them apart
}

// Until Ctrl-C: rows of local time with milliseconds, seconds since the start and the ten values
// as the program maps them; a new request only after each frame, at most one after the last.
TEST(Ctl, WatchPrintsEveryFrameUntilCtrlC) {
    sim::Simulator s;
    QTemporaryDir dir;
    s.model().freezeMeasurement(kFrozen);
    const auto isRow = [](const std::string& line) {
        int f[9], end = 0;
        return std::sscanf(line.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d,%d.%3d,%n", &f[0], &f[1],
                           &f[2], &f[3], &f[4], &f[5], &f[6], &f[7], &f[8], &end) == 9 &&
               line[23] == ',' && line[end - 5] == '.' &&
               line.substr(end) == "812,733,902,30,99,69,1,0,1,128";
    };
    const Result r =
        Ctl(dir, "--port " + s.devicePath() + " watch", "CTL & sleep 1; kill -INT $!; wait $!");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(r.out.ends_with("\n")) << r.out;
    std::istringstream in(r.out);
    std::size_t rows = 0;
    double last = 0;
    for (std::string line; std::getline(in, line); ++rows) {
        EXPECT_TRUE(isRow(line)) << line;
        EXPECT_GT(std::stod(line.substr(24)), last) << line;
        last = std::stod(line.substr(24));
    }
    EXPECT_TRUE(rows >= 1 && rows <= 60) << rows;
    const OrderList orders = OrdersSeen(s);
    const auto measures = static_cast<std::size_t>(std::count(orders.begin(), orders.end(), 8));
    EXPECT_TRUE(measures == rows || measures == rows + 1) << measures;
}

// The companion's files are the operator program's, byte for byte, from controllers in the same
// state; and what `get -o` saved, `send` writes back to RAM or EEPROM as the program's Send does.
class CtlFiles : public op::ProgramWithSim {};

TEST_F(CtlFiles, GetAndRingFilesAreTheProgramsAndSendWritesThemBack) {
    sim::Simulator tool;
    QTemporaryDir dir;
    auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
    sim::ParamPage page = sim_->model().ramPage(0);
    page[1] = 65535;
    page[15] = 7;
    sim::RingBuffer ring;
    std::iota(ring.values.begin(), ring.values.end(), 40000);
    ring.index = 254; // the measurement before the blocks wraps it to 0
    for (sim::Simulator* s : {sim_.get(), &tool}) {
        s->model().setRamPage(0, page);
        s->model().setRing(ring);
        s->model().freezeMeasurement(kFrozen);
    }
    op::Click(panelHandle, PANEL_BTN14); // Get from RAM
    op::Click(panelHandle, PANEL_RBTFILE);
    QueueFileSelectAnswer(2, path("program.cfg"));
    op::Click(panelHandle, PANEL_BTNSEND);
    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    QueueFileSelectAnswer(2, path("program.dat"));
    op::Click(panelPopUp, POPUP_BTNRECFILE);
    op::Click(panelPopUp, POPUP_BTNGETDATA);
    op::Click(panelPopUp, POPUP_BTNSTOREDATA);

    const std::string port = "--port " + tool.devicePath() + " ";
    for (const char* kind : {"get", "ring"}) {
        const std::string ext = kind[0] == 'g' ? "cfg" : "dat";
        EXPECT_EQ(Ctl(dir, port + kind + " -o " + path(("ctl." + ext).c_str())).code, 0);
        EXPECT_EQ(op::FileBytes(path(("ctl." + ext).c_str())),
                  op::FileBytes(path(("program." + ext).c_str())));
    }
    EXPECT_NE(op::FileBytes(path("ctl.cfg")).find("\n65535\n"), std::string::npos);
    EXPECT_EQ(op::FileBytes(path("ctl.dat")).find("Actual index: 0\n40000\n"), 29u);

    struct {
        const char* option;
        OrderList orders;
        bool eeprom;
    } sends[] = {{"", {5, 1, 1, 2}, false}, {" --eeprom", {5, 3, 3, 4}, true}};
    for (const auto& send : sends) {
        SCOPED_TRACE(send.option);
        tool.model().setRamPage(0, sim::ParamPage{});
        tool.model().setEepromPage(0, sim::ParamPage{});
        tool.model().clearRequests();
        const Result r = Ctl(dir, port + "send " + path("ctl.cfg") + send.option);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, std::string(kTextTransmitOk) + "\n");
        EXPECT_EQ(OrdersSeen(tool), send.orders);
        EXPECT_EQ(send.eeprom ? tool.model().eepromPage(0) : tool.model().ramPage(0), page);
        const auto requests = tool.model().requests();
        ASSERT_EQ(requests.size(), 4u);
        EXPECT_GE(sim::secondsBetween(requests[1].firstByte, requests[2].firstByte), 0.09);
    }
}

// Failures against scripted peers: the exit code, the program's own words on stderr, and how many
// bytes reached the line (a bad file or bad arguments: none).
TEST(Ctl, FailuresSayWhyAndExitWithTheirCode) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("plant.cfg").toStdString();
    const sim::Parameters start = Model::startValues();
    std::vector<std::uint16_t> page0 = {0};
    page0.insert(page0.end(), start.begin(), start.end());
    std::ofstream(file) << "0\n" << Lines(start, 15) << "1\n" << Lines(sim::Parameters{}, 15);
    std::ofstream(dir.filePath("short.cfg").toStdString()) << Lines(start, 15);
    std::vector<std::uint16_t> differs = page0;
    differs[2] = 881;  // thd1
    differs[14] = 451; // sdelay
    const auto ack = [](sim::ScriptedPeer& p) { p.expect(36, 5).reply(op::Frame(5, {0x00AA})); };
    struct Row {
        std::string args;
        std::function<void(sim::ScriptedPeer&)> script;
        int code;
        std::string err;
        std::size_t bytes;
    } rows[] = {
        {"send " + file,
         [&](sim::ScriptedPeer& p) {
             ack(p);
             p.expect(72, 5).expect(36, 5).reply(op::Frame(2, differs));
         },
         4, "thd1: sent 880, read back 881\nevok-vx12-ctl: sdelay: sent 450, read back 451\n", 144},
        {"send " + dir.filePath("short.cfg").toStdString(), nullptr, 2,
         std::string(kTextParaFileNotLoaded) + "\n", 0},
        {"info", nullptr, 1, std::string(kTextEchoShort) + "\n", 36},
        {"get", [](sim::ScriptedPeer& p) { p.expect(36, 5).reply(op::Frame(5, {0x1234})); }, 1,
         std::string(kTextEchoWrong) + "\n", 36},
        {"get", [&](sim::ScriptedPeer& p) { ack(p); }, 1, std::string(kTextFrameTimeout) + "\n",
         72},
        {"block foo", nullptr, 2, "block needs raw or norm, not foo\n", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args + " -> " + row.err);
        sim::ScriptedPeer peer;
        if (row.script) row.script(peer);
        peer.start();
        const Result r = Ctl(dir, "--port " + peer.devicePath() + " " + row.args);
        EXPECT_EQ(r.code, row.code);
        EXPECT_NE(r.err.find("evok-vx12-ctl: " + row.err), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(peer.receivedBytes().size(), row.bytes);
    }
    const Result r = Ctl(dir, "--port /nonexistent/tty info");
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "evok-vx12-ctl: Cannot open port: COM1 /nonexistent/tty\n");
}

} // namespace
} // namespace evok
