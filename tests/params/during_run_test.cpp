// Transactions started while the live view runs: the reply to the live loop's last request is
// still owed (or still arriving) when the operator clicks, and must never be taken as the reply
// of the transaction.
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "link/com232.h"
#include "link/line.h"
#include "params/pages.h"
#include "params/paramset.h"
#include "tests/support/support.h"

#include <array>
#include <random>

namespace evok {
namespace {

class DuringRun : public op::ProgramWithSim {
protected:
    bool Paced() const override { return true; }
};

// Each action is clicked many times at random phases of the live cycle; right after it returns
// (still inside the live loop) the program must hold what the controller holds.
TEST_F(DuringRun, TransactionsTakeTheirOwnRepliesAtAnyPhaseOfTheLiveCycle) {
    enum Action { kGet, kTeach, kRing };
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> phase(0.0, 0.04); // one live cycle is about 38 ms
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    for (Action action : {kGet, kTeach, kRing}) {
        for (int attempt = 0; attempt < 6; ++attempt) {
            SCOPED_TRACE(testing::Message() << "action " << action << " attempt " << attempt);
            sim_->model().setRamPage(0, {0, static_cast<unsigned short>(600 + attempt), 901, 602,
                                         903, 4, 1, 99, 7, 1, 0, 2, 0, 0, 480, 3});
            bool checked = false;
            op::At(0.3 + phase(random), [&] {
                if (action == kRing) {
                    op::Click(panelPopUp, POPUP_BTNGETDATA);
                    const sim::RingBuffer ring = sim_->model().ring();
                    EXPECT_TRUE(std::equal(ring.values.begin(), ring.values.end(), yArrayA));
                    EXPECT_EQ(yArrayA[255], ring.index);
                } else {
                    op::Click(panelHandle, action == kGet ? PANEL_BTN14 : PANEL_BTNTEACH);
                    const sim::Parameters controller = sim_->model().ramParameters();
                    EXPECT_TRUE(std::equal(controller.begin(), controller.end(),
                                           op::ParameterVariables().begin()));
                    if (action == kGet) {
                        EXPECT_EQ(op::ParameterFields(), op::ParameterVariables());
                    }
                }
                checked = true;
                op::Click(panelHandle, PANEL_BTNSTOP);
            });
            op::Click(panelHandle, PANEL_BTNRUN);
            EXPECT_TRUE(checked);
            op::Pump(0.1); // the live loop's last reply arrives and is discarded
        }
    }
}

// The impatient operator clicks Get again while the first Get still waits for page 0: the second
// Get reads both pages; the first must not take the second's page-1 reply as its page 0.
TEST_F(DuringRun, AGetClickedWhileAGetWaitsKeepsTheControllersValues) {
    sim_->model().setRamPage(0, {0, 4242, 901, 602, 903, 4, 1, 99, 7, 1, 0, 2, 0, 0, 480, 3});
    for (double at : {0.005, 0.02, 0.05}) {
        SCOPED_TRACE(at);
        op::At(at, [] { op::Click(panelHandle, PANEL_BTN14); });
        op::Click(panelHandle, PANEL_BTN14);
        op::Pump(0.3);
        const sim::Parameters controller = sim_->model().ramParameters();
        EXPECT_TRUE(
            std::equal(controller.begin(), controller.end(), op::ParameterVariables().begin()));
        EXPECT_EQ(op::ParameterFields(), op::ParameterVariables());
    }
}

// A measurement reply that arrives in 8-byte bursts while the page read starts: the read waits
// for it, then asks for its page, and takes the page, not a window across both replies.
TEST(OwedReply, APageReadLetsAMeasurementReplyStillArrivingFinishFirst) {
    // Seconds between the measurement request and its reply's first byte.
    for (double replyAfter : {0.0, 0.005, 0.030}) {
        SCOPED_TRACE(replyAfter);
        sim::ScriptedPeer peer;
        op::AnswerStartUp(peer, {700, 800, 400, 900}, sim::encodeFirmwareText("PEER FW 1.0"));
        peer.expect(36, 2.0)
            .replyPaced(op::Frame(kOrderMeasure, {85, 829, 34, 66, 0, 65, 1, 2, 3, 4}), replyAfter,
                        sim::kLineBaud, 8)
            .expect(36, 2.0)
            .reply(op::Frame(kOrderReadRam,
                             {0, 501, 902, 603, 904, 5, 2, 98, 6, 2, 1, 0, 0, 0, 470, 1}))
            .pause(0.3);
        peer.start();
        op::Program program(peer.devicePath());
        ASSERT_EQ(program.startResult(), 0);

        order = kOrderMeasure;
        SendFrame(kOrderMeasure, pp);
        PushGET(RAM, kPage0);
        EXPECT_EQ(op::ParameterVariables(),
                  (std::array<unsigned short, 15>{501, 902, 603, 904, 5, 2, 98, 6, 2, 1, 0, 0, 0,
                                                  470, 1}));
        EXPECT_EQ(LastStatus(), std::string(kTextParaReceived));
        ASSERT_TRUE(peer.waitDone(3.0)) << peer.failure();
    }
}

} // namespace
} // namespace evok
