// The header band as the operator sees it: the program's own variant, a plain variant, one
// outside the table, and a missing bitmap.
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

// Rows: the program's variant, the plain one, one outside the table (nothing changes) and the
// program's variant with its bitmap missing (the texts stay, the logo is empty).
TEST(Header, TextsAndLogoSitInsideTheBandInItsColours) {
    const struct {
        int variant, band, colour;
        std::size_t texts; // brand lines, then the program's name and version
        bool bitmap = true;
    } rows[] = {{2, 0x0080FF, 0xFFFFFF, 5},
                {0, 0xFFFFFF, 0x808080, 2},
                {5, 0x0080FF, 0, 0},
                {2, 0x0080FF, 0xFFFFFF, 5, false}};
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/" + kPanelFile,
                            dir.filePath(kPanelFile)));
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.variant << row.bitmap);
        if (!row.bitmap) SetProgramDirectoryForTesting(dir.path().toStdString());
        const std::vector<QLabel*> texts = BuildHeader(row.variant);
        SetProgramDirectoryForTesting("");
        const QRect band = CtrlWidget(panelHandle, PANEL_HEADER)->geometry();
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor), row.band);
        const bool logo = row.texts == 5;
        EXPECT_EQ(op::Visible(panelHandle, PANEL_LOGO), row.variant != 0);
        auto* bitmap = qobject_cast<QLabel*>(CtrlWidget(panelHandle, PANEL_LOGO));
        const QPixmap image = bitmap->pixmap();
        EXPECT_EQ(image.isNull() ? QSize() : image.size(),
                  logo && row.bitmap ? QSize(40, 50) : QSize());
        std::vector<QRect> taken;
        if (logo) taken.push_back(bitmap->geometry());
        ASSERT_EQ(texts.size(), row.texts);
        if (row.texts) {
            EXPECT_EQ(texts[row.texts - 2]->text(), "E-VOK-VX12-Trace-Watch");
            EXPECT_EQ(texts[row.texts - 1]->text(), "V1.1");
        }
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
                EXPECT_FALSE(row.variant == 2 && at.intersects(other));
            taken.push_back(at);
        }
        DiscardPanel(panelHandle);
    }
}

} // namespace
} // namespace evok
