// Pictures of the program as the operator sees it against the simulator, written into the build
// directory for review: the live view, the three data-block graph modes and the para II panel.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace evok {
namespace {

class Pictures : public op::ProgramWithSim {
protected:
    bool Paced() const override { return true; }
    void Save(int panel, const char* name) {
        op::Pump(0.2);
        QDir().mkpath(EVOK_PICTURE_DIR);
        const QString path = QString(EVOK_PICTURE_DIR) + "/" + name;
        ASSERT_TRUE(PanelWidget(panel)->grab().save(path)) << path.toStdString();
        std::cout << "picture " << path.toStdString() << "\n";
    }
};

TEST_F(Pictures, LiveViewAndTheThreeGraphModes) {
    // Live view: two seconds of raw values.
    op::At(2.0, [this] {
        Save(panelHandle, "live-view.png");
        op::Click(panelHandle, PANEL_BTNSTOP);
    });
    op::Click(panelHandle, PANEL_BTNRUN);
    EXPECT_GT(StripChartShownPoints(panelHandle, PANEL_STRIPCHART_RAW).size(), 90u);
    EXPECT_NE(op::IntValue(panelHandle, PANEL_VAL_ADCCHA), 0);

    struct Mode {
        int source;
        const char* file;
        std::size_t plots;
    } modes[] = {
        {0, "graph-raw.png", 1}, {1, "graph-normalised.png", 3}, {2, "graph-delta-t.png", 2}};
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.file);
        op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, mode.source);
        op::Click(panelHandle, PANEL_BTNDATA);
        if (mode.source == 1) {
            // The operator confirms the thresholds: the reference lines follow the controls.
            op::EnterNumber(panelHandle, PANEL_NUM_THRESHOLD1, thd1 + 1);
            op::EnterNumber(panelHandle, PANEL_NUM_THRESHOLD1, thd1);
        }
        EXPECT_TRUE(op::Visible(panelHandle, PANEL_GRAPH_DATA));
        EXPECT_EQ(GraphPlots(panelHandle, PANEL_GRAPH_DATA).size(), mode.plots);
        Save(panelHandle, mode.file);
    }
    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    Save(panelPopUp, "para2.png");
}

} // namespace
} // namespace evok
