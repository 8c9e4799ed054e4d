// The header band as the operator sees it: the program's own variant after start-up, a plain
// variant, one outside the table, and a missing bitmap.
#include "app/callbacks.h"
#include "app/logo.h"
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "runtime/events.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>

namespace evok {
namespace {

// Loads the main panel, builds the header and returns the texts it created.
std::vector<QLabel*> BuildHeader(int variant) {
    StartRuntime();
    SetCallbackTable(kCallbackTable, kCallbackCount);
    panelHandle = LoadPanel(0, kPanelFile, PANEL);
    EXPECT_GE(panelHandle, 0);
    CopyText(szSoftname, "E-VOK-VX12-Trace-Watch");
    CopyText(szSoftversion, "V1.1");
    const QList<QLabel*> before = PanelWidget(panelHandle)->findChildren<QLabel*>();
    ShowLogo(variant);
    std::vector<QLabel*> created;
    for (QLabel* label : PanelWidget(panelHandle)->findChildren<QLabel*>())
        if (!before.contains(label)) created.push_back(label);
    return created;
}

TEST(Header, TextsAndLogoSitInsideTheBandInItsColours) {
    const struct {
        int variant, band, colour;
        bool logo;
        std::size_t texts; // brand lines, then the program's name and version
    } rows[] = {{2, 0x0080FF, 0xFFFFFF, true, 5}, {0, 0xFFFFFF, 0x808080, false, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.variant);
        const std::vector<QLabel*> texts = BuildHeader(row.variant);
        const QRect band = CtrlWidget(panelHandle, PANEL_HEADER)->geometry();
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor), row.band);
        EXPECT_EQ(op::Visible(panelHandle, PANEL_LOGO), row.logo);
        std::vector<QRect> taken;
        if (row.logo) {
            auto* logo = qobject_cast<QLabel*>(CtrlWidget(panelHandle, PANEL_LOGO));
            EXPECT_EQ(logo->pixmap().size(), QSize(40, 50));
            taken.push_back(logo->geometry());
        }
        ASSERT_EQ(texts.size(), row.texts);
        EXPECT_EQ(texts[row.texts - 2]->text(), "E-VOK-VX12-Trace-Watch");
        EXPECT_EQ(texts[row.texts - 1]->text(), "V1.1");
        for (QLabel* text : texts) {
            const int id = text->property("ctrlId").toInt();
            EXPECT_FALSE(text->text().isEmpty());
            EXPECT_EQ(op::Attribute(panelHandle, id, kAttrTextColor), row.colour);
            EXPECT_EQ(op::Attribute(panelHandle, id, kAttrTextBgColor), row.band);
            const QRect at(text->pos(), text->sizeHint());
            EXPECT_TRUE(band.contains(at)) << text->text().toStdString();
            // The program's own variant keeps its texts apart; in the plain variant the name as
            // the offscreen fonts draw it runs into the version.
            for (const QRect& other : taken)
                EXPECT_FALSE(row.variant == 2 && at.intersects(other))
                    << text->text().toStdString();
            taken.push_back(at);
        }
        DiscardPanel(panelHandle);
    }
}

TEST(Header, AVariantOutsideTheTableChangesNothing_AMissingBitmapLeavesTheTexts) {
    StartRuntime();
    SetCallbackTable(kCallbackTable, kCallbackCount);
    const int fresh = LoadPanel(0, kPanelFile, PANEL);
    const int band = op::Attribute(fresh, PANEL_HEADER, kAttrFrameColor);
    DiscardPanel(fresh);
    EXPECT_TRUE(BuildHeader(5).empty());
    EXPECT_EQ(op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor), band);
    DiscardPanel(panelHandle);

    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/" + kPanelFile,
                            dir.filePath(kPanelFile)));
    SetProgramDirectoryForTesting(dir.path().toStdString());
    EXPECT_EQ(BuildHeader(2).size(), 5u);
    EXPECT_TRUE(qobject_cast<QLabel*>(CtrlWidget(panelHandle, PANEL_LOGO))->pixmap().isNull());
    DiscardPanel(panelHandle);
    SetProgramDirectoryForTesting("");
}

} // namespace
} // namespace evok
