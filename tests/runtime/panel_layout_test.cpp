// The panels as the operator sees them: nothing overlaps, sticks out or reads cut off, the header
// band is free for the header branding.
#include "panel_test_support.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

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
