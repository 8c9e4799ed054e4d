// The panels as the operator sees them: nothing overlaps, nothing is cut off, the header band is
// free for the header texts; and pictures of both panels for a person to look at.
#include "panel_test_support.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <string>

using namespace paneltest;
using namespace evok;

namespace {

// Widgets an operator sees as separate things: the controls, their labels, the groups.
std::vector<QWidget*> VisibleItems(QWidget* parent) {
    std::vector<QWidget*> out;
    for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isHidden() || w->isWindow()) continue;
        if (w->property("ctrlId").isValid() || qobject_cast<QLabel*>(w) ||
            qobject_cast<QGroupBox*>(w))
            out.push_back(w);
    }
    return out;
}

std::string Name(QWidget* w) {
    return w->objectName().toStdString();
}

void ExpectNoOverlapIn(QWidget* parent) {
    const std::vector<QWidget*> items = VisibleItems(parent);
    for (std::size_t i = 0; i < items.size(); ++i) {
        QWidget* a = items[i];
        EXPECT_TRUE(parent->rect().contains(a->geometry()))
            << Name(a) << " sticks out of " << Name(parent);
        for (std::size_t j = i + 1; j < items.size(); ++j) {
            QWidget* b = items[j];
            if (a->objectName() == "PANEL_HEADER" || b->objectName() == "PANEL_HEADER")
                continue; // the band carries the logo; its own test checks it
            EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                << Name(a) << " overlaps " << Name(b);
        }
        if (qobject_cast<QGroupBox*>(a)) ExpectNoOverlapIn(a);
    }
}

// Texts fit their labels and buttons, so nothing reads cut off.
void ExpectTextsFit(QWidget* panel) {
    for (QLabel* l : panel->findChildren<QLabel*>()) {
        if (l->text().isEmpty() || l->property("ctrlId").isValid()) continue;
        EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width())
            << Name(l) << " cuts off \"" << l->text().toStdString() << '"';
    }
    for (QAbstractButton* b : panel->findChildren<QAbstractButton*>()) {
        if (b->isWindow() || b->text().isEmpty()) continue;
        EXPECT_LE(b->sizeHint().width(), b->width())
            << Name(b) << " cuts off \"" << b->text().toStdString() << '"';
    }
}

// A stand-in logo: the brand bitmaps belong to the program, not to the panel service.
std::string WriteLogo(const QTemporaryDir& dir) {
    QImage logo(40, 50, QImage::Format_RGB32);
    logo.fill(QColor(0x00, 0x80, 0xFF));
    QPainter p(&logo);
    p.setPen(QPen(Qt::white, 3));
    p.drawEllipse(6, 11, 28, 28);
    p.drawLine(20, 4, 20, 46);
    p.end();
    const std::string path = dir.filePath("logo.png").toStdString();
    logo.save(QString::fromStdString(path));
    return path;
}

void AddHeaderText(int panel, const char* text, int left, int top, int size) {
    const int id = NewCtrl(panel, kCtrlTextMessage, "", top, left);
    ASSERT_GT(id, 0);
    SetCtrlAttribute(panel, id, kAttrTextFont, "AppFont");
    SetCtrlAttribute(panel, id, kAttrTextBold, 1);
    SetCtrlAttribute(panel, id, kAttrTextBgColor, 0x0080FF);
    SetCtrlAttribute(panel, id, kAttrTextColor, 0xFFFFFF);
    SetCtrlAttribute(panel, id, kAttrTextPointSize, size);
    SetCtrlVal(panel, id, text);
}

void Save(QWidget* w, const char* name) {
    const QString path = QDir(QStringLiteral(EVOK_BUILD_DIR)).filePath(QString::fromLatin1(name));
    ASSERT_TRUE(w->grab().save(path)) << path.toStdString();
}

class PanelLayout : public PanelFixture {};

} // namespace

TEST_F(PanelLayout, NoControlOverlapsAnotherOrLeavesItsPanelOrGroup) {
    DisplayPanel(popup);
    Pump();
    ExpectNoOverlapIn(PanelWidget(main));
    ExpectNoOverlapIn(PanelWidget(popup));
}

TEST_F(PanelLayout, LabelsAndButtonTextsAreNotCutOff) {
    ExpectTextsFit(PanelWidget(main));
    ExpectTextsFit(PanelWidget(popup));
}

TEST_F(PanelLayout, HeaderBandSpansTheTopAndHoldsOnlyTheLogo) {
    QWidget* header = Ctrl(main, PANEL_HEADER);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(header->width(), PanelWidget(main)->width());
    EXPECT_GE(header->height(), 60);
    for (QWidget* w : VisibleItems(PanelWidget(main))) {
        if (w == header || w == CtrlWidget(main, PANEL_LOGO)) continue;
        EXPECT_FALSE(w->geometry().intersects(header->geometry()))
            << Name(w) << " lies on the header";
    }
    // The logo sits where the header branding puts it.
    EXPECT_EQ(CtrlWidget(main, PANEL_LOGO)->geometry(), QRect(175, 6, 40, 50));
}

TEST_F(PanelLayout, PanelsFitA1280x800Screen) {
    EXPECT_LE(PanelWidget(main)->width(), 1200);
    EXPECT_LE(PanelWidget(main)->height(), 740);
    EXPECT_LE(PanelWidget(popup)->width(), 1200);
    EXPECT_LE(PanelWidget(popup)->height(), 740);
}

// Pictures of both panels in the build directory (panel-main.png, panel-main-graph.png,
// panel-para2.png), with the header texts at the positions the header branding uses.
TEST_F(PanelLayout, PicturesOfBothPanels) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SetCtrlAttribute(main, PANEL_HEADER, kAttrFrameColor, 0x0080FF);
    ASSERT_EQ(DisplayImageFile(main, PANEL_LOGO, WriteLogo(dir).c_str()), 0);
    AddHeaderText(main, "Talvor Sensorik GmbH", 15, 7, 11);
    AddHeaderText(main, "Tel. +49 7000 123456", 15, 22, 11);
    AddHeaderText(main, "www.talvor.example", 15, 37, 11);
    AddHeaderText(main, "E-VOK-VX12-Trace-Watch", 220, 32, 16);
    AddHeaderText(main, "V1.1", 440, 36, 11);
    SetCtrlVal(main, PANEL_STATUS, "Parameter-frame received! - Line Ok!");

    // A few seconds of live values in the RAW strip chart.
    double history[100];
    for (int i = 0; i < 100; ++i)
        history[i] = 500 + 300 * std::sin(i / 8.0);
    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrPointsPerScreen, 101);
    PlotStripChart(main, PANEL_STRIPCHART_RAW, history, 100, 0, 0, kTypeDouble);
    const int values[] = {812, 640, 1000, 37, 88, 51, 1, 0};
    const int ids[] = {PANEL_VAL_NORMA, PANEL_VAL_ADCCHA, PANEL_VAL_AMAX, PANEL_VAL_T1,
                       PANEL_VAL_T2,    PANEL_VAL_DT,     PANEL_IN0,      PANEL_IN1};
    for (int i = 0; i < 8; ++i)
        SetCtrlVal(main, ids[i], values[i]);
    SetCtrlAttribute(main, PANEL_CTRL43, kAttrBlink, 1);
    Pump();
    Save(PanelWidget(main), "panel-main.png");

    // The data-block graph as the normalised view draws it.
    unsigned short x[128], curve[128], ref1[128], ref2[128];
    for (int i = 0; i < 128; ++i) {
        x[i] = static_cast<unsigned short>(i);
        curve[i] =
            static_cast<unsigned short>(500 + 450 * std::sin(i / 20.0) * std::exp(-i / 90.0));
        ref1[i] = 900;
        ref2[i] = 600;
    }
    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrVisible, 0);
    SetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrVisible, 1);
    SetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrLabelText, "NORM=1000*(A/Amax)");
    SetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrGraphCursorMode, 2);
    SetCursorAttribute(main, PANEL_GRAPH_DATA, 1, kAttrCursorStyle, 4);
    SetCursorAttribute(main, PANEL_GRAPH_DATA, 2, kAttrCursorStyle, 4);
    SetAxisScalingMode(main, PANEL_GRAPH_DATA, 0, 0, 1.0, 128.0);
    SetAxisScalingMode(main, PANEL_GRAPH_DATA, 1, 0, 0.0, 1000.0);
    DeleteGraphPlot(main, PANEL_GRAPH_DATA, -1, 1);
    PlotXY(main, PANEL_GRAPH_DATA, x, ref1, 128, kTypeUShort, kTypeUShort, 0, 10, 1, 1, 0);
    PlotXY(main, PANEL_GRAPH_DATA, x, ref2, 128, kTypeUShort, kTypeUShort, 0, 10, 1, 1, 0);
    PlotXY(main, PANEL_GRAPH_DATA, x, curve, 128, kTypeUShort, kTypeUShort, 5, 10, 0, 1, 0xFF0000);
    SetGraphCursor(main, PANEL_GRAPH_DATA, 1, 37, curve[37]);
    SetGraphCursor(main, PANEL_GRAPH_DATA, 2, 88, curve[88]);
    Pump();
    Save(PanelWidget(main), "panel-main-graph.png");

    SetCtrlVal(popup, POPUP_RECFILENAME, "/home/operator/evok/EVokRecord.dat");
    DisplayPanel(popup);
    Pump();
    Save(PanelWidget(popup), "panel-para2.png");

    // The header texts lie on the band and do not run into each other.
    const QWidget* name = nullptr;
    const QWidget* version = nullptr;
    for (QLabel* l : PanelWidget(main)->findChildren<QLabel*>()) {
        if (l->text() == "E-VOK-VX12-Trace-Watch") name = l;
        if (l->text() == "V1.1") version = l;
    }
    ASSERT_TRUE(name && version);
    EXPECT_LE(name->geometry().bottom(), CtrlWidget(main, PANEL_HEADER)->geometry().bottom());
    // Ink, not boxes: the name's last letter ends left of the version's first.
    const int nameInkRight =
        name->x() +
        name->fontMetrics().tightBoundingRect(QStringLiteral("E-VOK-VX12-Trace-Watch")).right();
    const int versionInkLeft =
        version->x() + version->fontMetrics().tightBoundingRect("V1.1").left();
    EXPECT_LT(nameInkRight, versionInkLeft);
}
