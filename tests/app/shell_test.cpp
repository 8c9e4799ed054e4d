// The program's frame as the operator uses it: the COM selector, the para II toggle and close
// box, closing the program (also in the middle of a wait), a missing panel description.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "params/paramset.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>

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
    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_TOGBTNPARAII), 1);

    op::CloseWindow(panelPopUp);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_TOGBTNPARAII), 0);

    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    EXPECT_TRUE(popup->isVisible());
    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    EXPECT_FALSE(popup->isVisible());
}

// Runs the whole program; `operate` runs once the main panel is shown.
int RunProgram(const std::string& device, std::function<void()> operate) {
    op::MapPort(1, device);
    auto started = std::make_shared<std::function<void()>>();
    // The check holds itself only weakly: a strong self-reference would never be freed.
    *started = [weak = std::weak_ptr<std::function<void()>>(started), operate] {
        const auto self = weak.lock();
        if (!self) return;
        QWidget* main = PanelWidget(panelHandle);
        if (main == nullptr || !main->isVisible()) {
            op::At(0.02, *self);
            return;
        }
        operate();
    };
    op::At(0.02, *started);
    return WinMain();
}

TEST(ClosingTheProgram, EndsWithZeroAlsoInTheMiddleOfAWait) {
    struct Row {
        const char* name;
        int button;
        bool mute;
    } rows[] = {
        {"idle", -1, false},
        {"parameter read waiting for its reply", PANEL_BTN14, true},
        {"live loop running", PANEL_BTNRUN, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Simulator sim;
        bool closed = false;
        int result = RunProgram(sim.devicePath(), [&] {
            sim.line().setMuted(row.mute);
            op::At(0.3, [&] {
                closed = true;
                op::CloseWindow(panelHandle);
            });
            if (row.button >= 0) op::Click(panelHandle, row.button);
        });
        EXPECT_TRUE(closed);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(PanelWidget(panelHandle), nullptr);
    }
}

TEST(ClosingTheProgram, MissingPanelDescriptionEndsWithMinusOne) {
    QTemporaryDir dir;
    const QString program = QCoreApplication::applicationDirPath() + "/evok-vx12-trace-watch";
    const QString copy = dir.filePath("evok-vx12-trace-watch");
    ASSERT_TRUE(QFile::copy(program, copy));
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.start(copy, {});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 255); // -1
}

} // namespace
} // namespace evok
