// Start-up as the operator meets it: the line check, the controller's parameters on the panels,
// the firmware text on the status line, and what goes wrong without a controller.
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QWidget>

namespace evok {
namespace {

class StartUp : public op::ProgramWithSim {};

TEST_F(StartUp, ReadsTheControllersParametersAndFirmwareTextAfterTheEcho) {
    EXPECT_EQ(op::Status(), sim::ControllerModel::kDefaultFirmware);
    EXPECT_EQ(std::string(szVersion), sim::ControllerModel::kDefaultFirmware);
    EXPECT_EQ(Orders(), (std::vector<std::uint16_t>{5, 2, 2, 7}));
    // Parameters of both panels, by their place in page 0.
    const sim::Parameters controller = sim::ControllerModel::startValues();
    const struct {
        int* panel;
        int control, word;
    } shown[] = {{&panelHandle, PANEL_NUM_POWERA, 1}, {&panelPopUp, POPUP_TRIGLVLA, 4},
                 {&panelHandle, PANEL_NUM_DELTAT, 5}, {&panelPopUp, POPUP_HOLD, 7},
                 {&panelPopUp, POPUP_AVERAGE, 8},     {&panelHandle, PANEL_NUM_SDELAY, 14}};
    for (const auto& s : shown)
        EXPECT_EQ(op::IntValue(*s.panel, s.control), controller[s.word - 1]) << "word " << s.word;
    EXPECT_EQ(target, RAM);
    EXPECT_TRUE(PanelWidget(panelHandle)->isVisible());
    EXPECT_FALSE(PanelWidget(panelPopUp)->isVisible());
}

TEST(StartUpLineCheck, JudgedByDataWordZeroAndNeverFatal) {
    sim::Bytes otherHeader = op::Frame(5, {0x00AA});
    otherHeader[0] = 0x12;
    otherHeader[1] = 0x34;
    const struct {
        const char* name;
        sim::Bytes echo;    // empty: no reply at all
        const char* device; // null: the peer
        const char* status;
        std::size_t bytesReceived; // 36: the echo only, no page read followed
    } rows[] = {
        {"no reply", {}, nullptr, kTextEchoShort, 36},
        {"20 bytes only", sim::Bytes(20, 0x11), nullptr, kTextEchoShort, 36},
        {"word 0 is the sync word", op::Frame(5, {0x0055}), nullptr, kTextEchoWrong, 36},
        {"other header, word 0 0x00AA", otherHeader, nullptr, "PEER", 4 * 36},
        {"missing device", {}, "/dev/evok-no-such-device", "Cannot open port", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScriptedPeer peer;
        if (!row.device) peer.expect(36, 5).reply(row.echo);
        if (row.bytesReceived > 36) {
            peer.expect(36, 5).reply(op::Frame(2, {0, 700}));
            peer.expect(36, 5).reply(op::Frame(2, {1}));
            peer.expect(36, 5).reply(sim::encodeFirmwareText("PEER"));
        }
        peer.pause(0.3).start();
        op::Program program(row.device ? row.device : peer.devicePath());
        ASSERT_EQ(program.startResult(), 0);
        EXPECT_TRUE(peer.waitDone(5));
        EXPECT_EQ(op::Status(), row.status);
        EXPECT_EQ(peer.receivedBytes().size(), row.bytesReceived);
        EXPECT_TRUE(PanelWidget(panelHandle)->isVisible());
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), row.bytesReceived > 36 ? 700 : 500);
    }
}

} // namespace
} // namespace evok
