// Both panels on a screen smaller than the desktop they were laid out for: each window opens
// wholly inside the available area, and where a panel is larger than the screen its window
// scrolls over the whole panel, so that every control can still be reached. The screen comes from
// the test's platform; EVOK_SCREEN says what it must be (logical width x height).
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include <cstdlib>

namespace evok {
namespace {

class PanelsOnScreen : public op::ProgramWithSim {};

TEST_F(PanelsOnScreen, EveryWindowInsideTheScreenAndEveryControlWithinReach) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const char* expected = std::getenv("EVOK_SCREEN");
    ASSERT_NE(expected, nullptr) << "the test needs EVOK_SCREEN";
    ASSERT_EQ(QString("%1x%2").arg(area.width()).arg(area.height()).toStdString(), expected);

    op::Click(panelHandle, PANEL_TOGBTNPARAII); // para II opens beside the main panel
    op::Pump(0.1);
    for (int panel : {panelHandle, panelPopUp}) {
        SCOPED_TRACE(panel == panelHandle ? "main panel" : "para II");
        auto* window = qobject_cast<QScrollArea*>(PanelWidget(panel));
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->isVisible());
        const QRect frame = window->frameGeometry();
        EXPECT_TRUE(area.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        // The scroll range is exactly what the window cannot show of the panel.
        const QWidget* content = window->widget();
        const QWidget* viewport = window->viewport();
        EXPECT_EQ(window->horizontalScrollBar()->maximum(),
                  std::max(0, content->width() - viewport->width()));
        EXPECT_EQ(window->verticalScrollBar()->maximum(),
                  std::max(0, content->height() - viewport->height()));
        // And every control lies on the panel.
        for (int id = 1; id < 100; ++id) {
            QWidget* control = CtrlWidget(panel, id);
            if (!control || !control->isVisibleTo(window)) continue;
            const QRect on(control->mapTo(content, QPoint(0, 0)), control->size());
            EXPECT_TRUE(content->rect().contains(on)) << "control " << id;
        }
    }
}

} // namespace
} // namespace evok
