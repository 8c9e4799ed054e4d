// The panels as the operator sees them: nothing overlaps, sticks out or reads cut off, the header
// band is free for the header branding; and pictures of both panels for a person to look at.
#include "panel_test_support.h"

#include "app/logo.h"
#include "app/shell.h"

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>

#include <cmath>

using namespace paneltest;
using namespace evok;

namespace {

std::string Name(QWidget* w) {
    return w->objectName().toStdString();
}

// Controls, their labels and the groups: what an operator sees as separate things.
void ExpectNoOverlapIn(QWidget* parent) {
    std::vector<QWidget*> items;
    for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isHidden() && (w->property("ctrlId").isValid() || qobject_cast<QLabel*>(w) ||
                               qobject_cast<QGroupBox*>(w)))
            items.push_back(w);
    for (std::size_t i = 0; i < items.size(); ++i) {
        QWidget* a = items[i];
        EXPECT_TRUE(parent->rect().contains(a->geometry())) << Name(a) << " sticks out";
        const bool hasText = qobject_cast<QLabel*>(a) || qobject_cast<QAbstractButton*>(a);
        EXPECT_LE(hasText ? a->sizeHint().width() : 0, a->width()) << Name(a) << " cuts off text";
        for (std::size_t j = i + 1; j < items.size(); ++j) {
            const std::string pair = Name(a) + " " + Name(items[j]);
            if (pair == "PANEL_HEADER PANEL_LOGO" || pair == "PANEL_LOGO PANEL_HEADER") continue;
            EXPECT_FALSE(a->geometry().intersects(items[j]->geometry())) << pair << " overlap";
        }
        if (qobject_cast<QGroupBox*>(a)) ExpectNoOverlapIn(a);
    }
}

class PanelLayout : public PanelFixture {};

} // namespace

// Only the logo may lie on the header band, which spans the top.
TEST_F(PanelLayout, NoControlOverlapsAnotherAndTheHeaderBandIsFree) {
    ExpectNoOverlapIn(PanelWidget(main));
    ExpectNoOverlapIn(PanelWidget(popup));
    const QRect band = CtrlWidget(main, PANEL_HEADER)->geometry();
    EXPECT_EQ(band, QRect(0, 0, PanelWidget(main)->width(), std::max(band.height(), 60)));
}

// Pictures in the build directory (panel-main.png, panel-para2.png): the main panel with the
// header branding and live values, the para II panel.
TEST_F(PanelLayout, PicturesOfBothPanels) {
    panelHandle = main; // the panel the header branding draws on
    CopyText(szSoftname, "E-VOK-VX12-Trace-Watch");
    CopyText(szSoftversion, "V1.1");
    ShowLogo(2);
    SetCtrlVal(main, PANEL_STATUS, "Parameter-frame received! - Line Ok!");
    double history[100];
    for (int i = 0; i < 100; ++i)
        history[i] = 500 + 300 * std::sin(i / 8.0);
    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrPointsPerScreen, 101);
    ASSERT_EQ(PlotStripChart(main, PANEL_STRIPCHART_RAW, history, 100, 0, 0, kTypeDouble), 0);
    for (int id : {PANEL_VAL_NORMA, PANEL_VAL_ADCCHA, PANEL_VAL_AMAX, PANEL_VAL_T1, PANEL_VAL_DT})
        SetCtrlVal(main, id, 10 * id);
    SetCtrlVal(popup, POPUP_RECFILENAME, "/home/operator/evok/EVokRecord.dat");
    for (const auto& [panel, file] :
         {std::pair(main, "panel-main.png"), {popup, "panel-para2.png"}}) {
        DisplayPanel(panel);
        Pump();
        const QString path =
            QDir(QStringLiteral(EVOK_BUILD_DIR)).filePath(QString::fromLatin1(file));
        EXPECT_TRUE(PanelWidget(panel)->grab().save(path)) << path.toStdString();
    }
}
