// Every transaction on every line an operator has: a pseudo-terminal, a UART that carries the
// program's bytes at the line's pace, USB adapters that hand replies over in bursts (latency
// timers of 16 and 32 ms) or every millisecond. Stopped, clicked during Run (the live loop's reply
// still owed or arriving) and clicked while a Get still waits, each action must take its own
// reply: nothing the program holds may carry a byte of another reply, and no flush may drop a
// byte that the program wrote.
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "link/com232.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <random>
#include <set>

namespace evok {
namespace {

enum When { kStopped, kDuringRun, kWhileAGetWaits };
const char* const kWhen[] = {"stopped", "during Run", "while a Get waits"};

class EveryLine : public op::ProgramWithSim, public testing::WithParamInterface<sim::LineModel> {
protected:
    bool Paced() const override { return true; }
    sim::LineModel Model() const override { return GetParam(); }

    sim::ControllerModel& Controller() { return sim_->model(); }
    void ExpectParameters(const sim::Parameters& controller) {
        EXPECT_TRUE(
            std::equal(controller.begin(), controller.end(), op::ParameterVariables().begin()));
    }
    void ExpectBlocks(std::uint16_t source, int words) {
        const auto data = Controller().dataArray(source);
        EXPECT_EQ(op::Status(), kTextBlockReceived);
        EXPECT_TRUE(std::equal(data.begin(), data.begin() + words, yArrayA));
    }
    // Every point the RAW strip chart shows is a value the controller measured (word 1, or word 0
    // for graph source 1), or a zero of the history that Stop cleared.
    void ExpectChartHoldsMeasurements() {
        std::set<double> sent = {0.0};
        for (const sim::ReplyRecord& r : sim_->line().replies())
            for (int word : {0, 1})
                if (r.order == kOrderMeasure) sent.insert(op::Word(r.sent, word));
        for (double point : StripChartShownPoints(panelHandle, PANEL_STRIPCHART_RAW))
            ASSERT_TRUE(sent.count(point)) << point << " is no measurement";
    }
};

TEST_P(EveryLine, EachTransactionTakesItsOwnReply) {
    ASSERT_EQ(op::Status(), Controller().firmware()); // the start-up's four transactions
    ExpectParameters(Controller().ramParameters());
    op::MapPort(2, sim_->devicePath());
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    unsigned short power = 100;
    const auto send = [&](int radio, bool eeprom) {
        op::Click(panelHandle, radio);
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, ++power);
        op::Click(panelHandle, PANEL_BTNSEND);
        EXPECT_EQ(op::Status(), kTextTransmitOk);
        const auto held = [&] {
            return (eeprom ? Controller().eepromParameters() : Controller().ramParameters())[0];
        };
        op::WaitUntil([&] { return held() == power; }, 0.3); // the pages cross the line
        EXPECT_EQ(held(), power);
        op::Click(panelHandle, PANEL_RBTRAM);
    };
    const auto get = [&](int radio, bool eeprom) {
        op::Click(panelHandle, radio);
        op::Click(panelHandle, PANEL_BTN14);
        EXPECT_EQ(op::Status(), kTextParaReceived);
        ExpectParameters(eeprom ? Controller().eepromParameters() : Controller().ramParameters());
        EXPECT_EQ(op::ParameterFields(), op::ParameterVariables());
        op::Click(panelHandle, PANEL_RBTRAM);
    };
    const auto command = [&](int button) {
        op::Click(panelHandle, button);
        EXPECT_EQ(op::Status(), kTextParaReceived);
        ExpectParameters(Controller().ramParameters());
    };
    const auto data = [&](int source) {
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, source);
        op::Click(panelHandle, PANEL_BTNDATA);
        ExpectBlocks(static_cast<std::uint16_t>(source), source == 2 ? 256 : 128);
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    };
    const std::vector<When> any = {kStopped, kDuringRun, kWhileAGetWaits};
    const struct {
        const char* name;
        std::vector<When> when;
        std::function<void()> act; // clicks as the operator does and looks at the outcome
    } actions[] = {
        {"Get RAM", any, [&] { get(PANEL_RBTRAM, false); }},
        {"Get EEPROM", any, [&] { get(PANEL_RBTEEPROM, true); }},
        {"Send RAM", any, [&] { send(PANEL_RBTRAM, false); }},
        {"Send EEPROM", {kStopped, kDuringRun}, [&] { send(PANEL_RBTEEPROM, true); }},
        {"Teach", any, [&] { command(PANEL_BTNTEACH); }},
        {"Reset", {kStopped, kWhileAGetWaits}, [&] { command(PANEL_BTNRESET); }},
        {"Refresh", {kStopped, kDuringRun}, [&] { command(PANEL_BTNREFRESH); }},
        {"Data raw", {kStopped}, [&] { data(0); }},
        {"Data normalised", {kStopped}, [&] { data(1); }},
        {"Data delta-T", {kStopped}, [&] { data(2); }},
        {"ring read",
         {kStopped, kDuringRun},
         [&] {
             op::Click(panelPopUp, POPUP_BTNGETDATA);
             ExpectBlocks(2, 256);
         }},
        {"port change",
         {kStopped, kDuringRun},
         [&] {
             op::SelectRing(panelHandle, PANEL_DROPDCOM, com == 1 ? 2 : 1);
             EXPECT_EQ(op::Status(), Controller().firmware());
         }},
    };
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> phase(0.0, 0.06); // a live cycle, a page's wait
    for (const auto& action : actions) {
        for (When when : action.when) {
            SCOPED_TRACE(std::string(action.name) + " " + kWhen[when]);
            if (when == kStopped) {
                action.act();
            } else if (when == kDuringRun) {
                op::At(0.25 + phase(random), [&] {
                    action.act();
                    op::Click(panelHandle, PANEL_BTNSTOP);
                });
                op::Click(panelHandle, PANEL_BTNRUN);
                ExpectChartHoldsMeasurements();
            } else {
                op::At(phase(random), action.act);
                op::Click(panelHandle, PANEL_BTN14);
                // A Send may change the controller after the Get's page was read: only the other
                // actions leave a page to compare.
                if (std::string(action.name) != "Send RAM")
                    ExpectParameters(Controller().ramParameters());
            }
            op::Pump(0.1);
        }
    }
    EXPECT_EQ(sim_->line().flushedRequestBytes(), 0u) << "a flush dropped a written byte";
}

} // namespace
} // namespace evok

namespace sim {
void PrintTo(const LineModel& model, std::ostream* out) {
    *out << model.name();
}
} // namespace sim

namespace evok {
namespace {

INSTANTIATE_TEST_SUITE_P(Lines, EveryLine, testing::ValuesIn(sim::LineModelsUnderTest()),
                         [](const testing::TestParamInfo<sim::LineModel>& info) {
                             std::string name = info.param.name();
                             std::erase(name, ' ');
                             return name;
                         });

} // namespace
} // namespace evok
