// Start-up as the operator meets it: the line check, the controller's parameters on the panels,
// the firmware text on the status line, and what goes wrong without a controller.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/callbacks.h"
#include "app/shell.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/events.h"
#include "runtime/panel.h"
#include "runtime/serial.h"
#include "runtime/testing.h"
#include "tests/support/operator.h"
#include "tests/support/program.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

namespace evok {
namespace {

using op::IntValue;

struct Binding {
    int* panel;
    int control;
};

// The fifteen parameter controls in page-0 word order.
const Binding kParameterControls[15] = {
    {&panelHandle, PANEL_NUM_POWERA},
    {&panelHandle, PANEL_NUM_THRESHOLD1},
    {&panelHandle, PANEL_NUM_THRESHOLD2},
    {&panelPopUp, POPUP_TRIGLVLA},
    {&panelHandle, PANEL_NUM_DELTAT},
    {&panelPopUp, POPUP_POLARITY},
    {&panelPopUp, POPUP_HOLD},
    {&panelPopUp, POPUP_AVERAGE},
    {&panelHandle, PANEL_HWMODE},
    {&panelPopUp, POPUP_EVALMODE},
    {&panelPopUp, POPUP_TRIGMODE},
    {&panelPopUp, POPUP_OUTMODE},
    {&panelPopUp, POPUP_ANAMODE},
    {&panelHandle, PANEL_NUM_SDELAY},
    {&panelHandle, PANEL_MAXMODE},
};
const unsigned short kUirValues[15] = {500, 900, 600, 950, 0, 1, 100, 8, 1, 0, 0, 0, 0, 500, 0};

std::vector<int> PanelParameters() {
    std::vector<int> values;
    for (const Binding& b : kParameterControls)
        values.push_back(IntValue(*b.panel, b.control));
    return values;
}

class StartUp : public op::ProgramWithSim {};

TEST_F(StartUp, ShowsTheControllersParametersAndFirmwareText) {
    EXPECT_EQ(op::Status(), sim::ControllerModel::kDefaultFirmware);
    EXPECT_EQ(std::string(szVersion), sim::ControllerModel::kDefaultFirmware);
    const sim::Parameters controller = sim::ControllerModel::startValues();
    EXPECT_EQ(PanelParameters(), std::vector<int>(controller.begin(), controller.end()));
    EXPECT_EQ(powerA, controller[0]);
    EXPECT_EQ(target, RAM);
    EXPECT_TRUE(PanelWidget(panelHandle)->isVisible());
    EXPECT_FALSE(PanelWidget(panelPopUp)->isVisible());
}

TEST_F(StartUp, SendsEchoPageReadsAndFirmwareRequestInOrder) {
    const std::vector<sim::RequestRecord> requests = sim_->model().requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(Orders(), (std::vector<std::uint16_t>{5, 2, 2, 7}));
    // The echo and the page-0 read carry the panel values as loaded.
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(op::Word(requests[r].bytes, 0), 0);
        for (int i = 0; i < 15; ++i) {
            EXPECT_EQ(op::Word(requests[r].bytes, i + 1), kUirValues[i]) << "request " << r;
        }
    }
    EXPECT_EQ(op::Word(requests[2].bytes, 0), 1);
    for (int i = 1; i < 16; ++i)
        EXPECT_EQ(op::Word(requests[2].bytes, i), 0);
}

TEST(StartUpWithoutController, PanelComesUpWithTheLineCheckFailure) {
    struct Row {
        const char* name;
        bool muted;
        const char* device;
        const char* status;
    } rows[] = {
        {"silent controller", true, nullptr, "Timeout < 36 Bytes"},
        {"missing device", false, "/dev/evok-no-such-device", "Cannot open port"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Simulator sim;
        sim.line().setMuted(row.muted);
        op::Program program(row.device ? row.device : sim.devicePath());
        ASSERT_EQ(program.startResult(), 0);
        EXPECT_EQ(op::Status(), row.status);
        EXPECT_TRUE(PanelWidget(panelHandle)->isVisible());
        EXPECT_EQ(PanelParameters(), std::vector<int>(kUirValues, kUirValues + 15));
        // No page read follows a failed line check.
        EXPECT_LE(sim.model().requestCount(), 1u);
    }
}

TEST(StartUpEcho, DataWordZeroDecidesAndTheHeaderIsNotLookedAt) {
    struct Row {
        const char* name;
        sim::Bytes echo;
        const char* status;
        std::size_t bytesReceived;
    } rows[] = {
        {"word 0 is the sync word", op::Frame(5, {0x0055}), "read error - not sync byte 0xAA!", 36},
        {"other header, word 0 0x00AA", {}, "PEER", 4 * 36},
        {"20 bytes only", sim::Bytes(20, 0x11), "Timeout < 36 Bytes", 36},
    };
    rows[1].echo = op::Frame(5, {0x00AA});
    rows[1].echo[0] = 0x12;
    rows[1].echo[1] = 0x34;
    rows[1].echo[2] = 0xBE;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScriptedPeer peer;
        peer.expect(36, 5).reply(row.echo);
        if (row.bytesReceived > 36) {
            peer.expect(36, 5).reply(op::Frame(2, {0, 700}));
            peer.expect(36, 5).reply(op::Frame(2, {1}));
            peer.expect(36, 5).reply(sim::encodeFirmwareText("PEER"));
        }
        peer.pause(0.3);
        peer.start();
        op::Program program(peer.devicePath());
        ASSERT_TRUE(peer.waitDone(5));
        EXPECT_EQ(op::Status(), row.status);
        EXPECT_EQ(peer.receivedBytes().size(), row.bytesReceived);
    }
}

// A panel description whose powerA control starts at 700 instead of 500.
std::string UirWithPowerA(const QTemporaryDir& dir, int value) {
    QFile in(QCoreApplication::applicationDirPath() + "/EVOKVX12TWATCHV11.uir");
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(in.readAll());
    int at = text.indexOf("name=\"PANEL_NUM_POWERA\"");
    const QString start = "<property name=\"value\"><number>500</number>";
    int valueAt = text.indexOf(start, at);
    EXPECT_GT(at, 0);
    EXPECT_GT(valueAt, at);
    text.replace(valueAt, start.size(),
                 QString("<property name=\"value\"><number>%1</number>").arg(value));
    QString path = dir.filePath("EVOKVX12TWATCHV11.uir");
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(text.toUtf8());
    return path.toStdString();
}

TEST(InitVars, PanelValuesWinOverDefaults) {
    QTemporaryDir dir;
    const std::string uir = UirWithPowerA(dir, 700);
    ASSERT_EQ(StartRuntime(), 1);
    SetCallbackTable(kCallbackTable, kCallbackCount);
    panelHandle = LoadPanel(0, uir.c_str(), PANEL);
    panelPopUp = LoadPanel(0, uir.c_str(), POPUP);
    ASSERT_GE(panelHandle, 0);
    ASSERT_GE(panelPopUp, 0);
    InitVars();
    EXPECT_EQ(powerA, 700);
    EXPECT_EQ(thd1, 900);
    EXPECT_EQ(op::Status(), "InitVars");
    EXPECT_EQ(com, 1);
    EXPECT_EQ(type, 1);
    DiscardPanel(panelPopUp);
    DiscardPanel(panelHandle);
}

} // namespace
} // namespace evok
