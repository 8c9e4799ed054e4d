// The program's frame as the operator uses it: the COM selector, the para II toggle and close
// box, closing the program (also in the middle of a wait).
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "params/paramset.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QWidget>

namespace evok {
namespace {

class Shell : public op::ProgramWithSim {};

TEST_F(Shell, OneChangeOfTheComSelectionSetsTheLineUpTwice) {
    op::MapPort(2, sim_->devicePath());
    op::Click(panelHandle, PANEL_RBTEEPROM);
    ASSERT_EQ(target, EEPROM);
    ClearRequests();
    op::SelectRing(panelHandle, PANEL_DROPDCOM, 2);
    EXPECT_EQ(com, 2);
    EXPECT_EQ(Orders(), (std::vector<std::uint16_t>{5, 2, 2, 7, 5, 2, 2, 7}));
    EXPECT_EQ(op::Status(), sim::ControllerModel::kDefaultFirmware);
    // A good line check reads from RAM again, whatever the target buttons show.
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_RBTEEPROM), 1);
}

TEST_F(Shell, ParaIIToggleShowsThePanelAndItsCloseBoxHidesIt) {
    QWidget* popup = PanelWidget(panelPopUp);
    for (bool close : {true, false}) {
        op::Click(panelHandle, PANEL_TOGBTNPARAII);
        EXPECT_TRUE(popup->isVisible());
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_TOGBTNPARAII), 1);
        if (close)
            op::CloseWindow(panelPopUp);
        else
            op::Click(panelHandle, PANEL_TOGBTNPARAII);
        EXPECT_FALSE(popup->isVisible());
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_TOGBTNPARAII), 0);
    }
}

TEST(ClosingTheProgram, EndsWithZeroAlsoInTheMiddleOfAWait) {
    const struct {
        const char* name;
        int button;
        bool mute;
    } rows[] = {
        {"idle", -1, false},
        {"parameter read waiting for its reply", PANEL_BTN14, true},
        {"live loop running", PANEL_BTNRUN, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Simulator sim;
        op::MapPort(1, sim.devicePath());
        bool closed = false;
        // Once the main panel is shown, the operator acts and closes the window 0.3 s later.
        std::function<void()> operate = [&] {
            if (PanelWidget(panelHandle) == nullptr || !PanelWidget(panelHandle)->isVisible())
                return op::At(0.02, operate);
            sim.line().setMuted(row.mute);
            op::At(0.3, [&] {
                closed = true;
                op::CloseWindow(panelHandle);
            });
            if (row.button >= 0) op::Click(panelHandle, row.button);
        };
        op::At(0.02, operate);
        EXPECT_EQ(WinMain(), 0);
        EXPECT_TRUE(closed);
        EXPECT_EQ(PanelWidget(panelHandle), nullptr);
    }
}

} // namespace
} // namespace evok
