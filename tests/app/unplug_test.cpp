// The adapter pulled out while the program talks to the controller: during the live loop, a
// parameter read and a ring-buffer read. The action ends within its time limit with its status
// text, and choosing the port again once the adapter is back brings the line back.
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "runtime/panel.h"
#include "runtime/timing.h"
#include "tests/support/support.h"

#include <QTemporaryDir>

#include <set>
#include <thread>

namespace evok {
namespace {

struct Case {
    const char* name;
    int* panel;
    int button;
    double limit;     // the action's own time limit after the unplug
    bool slowReplies; // replies come 1 s late, so that the action is still waiting at 0.2 s
    std::set<std::string> failed;
    std::string ok;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Unplug : public ::testing::TestWithParam<Case> {};

TEST_P(Unplug, EndsInTimeAndTheSamePortRecovers) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    op::PluggableLine line(dir.filePath("ttyVX12").toStdString(), true);
    op::MapPort(2, line.device());
    op::Program program(line.device());
    ASSERT_EQ(op::Status(), line.sim().model().firmware());
    if (c.panel == &panelPopUp) op::Click(panelHandle, PANEL_TOGBTNPARAII);
    sim::FaultConfig late;
    late.delay = c.slowReplies ? 1 : 0;
    late.delaySeconds = 1.0;
    line.sim().line().setFaults(late);

    // The cable is pulled 0.2 s into the action (from another thread: the block reads do not
    // process events); the live loop is stopped late by the operator.
    double unpluggedAt = 0;
    std::thread cable([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        line.unplug();
        unpluggedAt = Timer();
    });
    if (c.button == PANEL_BTNRUN) op::At(4.0, [] { op::Click(panelHandle, PANEL_BTNSTOP); });
    op::Click(*c.panel, c.button);
    const double ended = Timer();
    cable.join();
    ASSERT_GT(unpluggedAt, 0.0) << "the action ended before the cable was pulled";
    EXPECT_LE(ended - unpluggedAt, c.limit + 0.5);
    EXPECT_TRUE(c.failed.count(op::Status())) << op::Status();
    EXPECT_FALSE(op::Dimmed(panelHandle, PANEL_BTNRUN));

    // Plugged in again: choosing the port again opens it, and the same action works.
    line.plugIn();
    op::SelectRing(panelHandle, PANEL_DROPDCOM, 2);
    EXPECT_EQ(op::Status(), line.sim().model().firmware());
    if (c.button == PANEL_BTNRUN) op::At(0.5, [] { op::Click(panelHandle, PANEL_BTNSTOP); });
    op::Click(*c.panel, c.button);
    EXPECT_EQ(op::Status(), c.ok);
}

INSTANTIATE_TEST_SUITE_P(
    During, Unplug,
    ::testing::Values(
        Case{"Run", &panelHandle, PANEL_BTNRUN, 2.0, false, {kTextLineTimeout}, kTextLineOk},
        Case{"Get",
             &panelHandle,
             PANEL_BTN14,
             3.0,
             true,
             {kTextWaitingPara, kTextReceive},
             kTextParaReceived},
        Case{"RingRead",
             &panelPopUp,
             POPUP_BTNGETDATA,
             7.5,
             false,
             {kTextBlockTimeout},
             kTextBlockReceived}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
} // namespace evok
