// The header band: colours, logo picture and the texts each brand variant creates.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/callbacks.h"
#include "app/logo.h"
#include "app/shell.h"
#include "runtime/events.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace evok {
namespace {

struct Text {
    int left, top, size;
    const char* text; // null: a brand line, any non-empty text
};

// Loads the main panel, builds the header and returns the labels it created.
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
    for (QLabel* label : PanelWidget(panelHandle)->findChildren<QLabel*>()) {
        if (!before.contains(label)) created.push_back(label);
    }
    return created;
}

TEST(Header, EachVariantColoursTheBandPlacesTheLogoAndCreatesItsTexts) {
    const Text branded[] = {{15, 7, 11, nullptr},
                            {15, 22, 11, nullptr},
                            {15, 37, 11, nullptr},
                            {220, 32, 16, "E-VOK-VX12-Trace-Watch"},
                            {440, 36, 11, "V1.1"}};
    const Text plain[] = {{20, 20, 16, "E-VOK-VX12-Trace-Watch"}, {180, 24, 11, "V1.1"}};
    struct Row {
        int variant, header, colour;
        bool logo;
        int logoLeft, logoTop;
        std::vector<Text> texts;
    } rows[] = {
        {2, 0x0080FF, 0xFFFFFF, true, 175, 6, {std::begin(branded), std::end(branded)}},
        {0, 0xFFFFFF, 0x808080, false, 0, 0, {std::begin(plain), std::end(plain)}},
        {3, 0xFFFFFF, 0x808080, true, 470, 8, {std::begin(plain), std::end(plain)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.variant);
        const std::vector<QLabel*> created = BuildHeader(row.variant);
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor), row.header);
        EXPECT_EQ(op::Visible(panelHandle, PANEL_LOGO), row.logo);
        if (row.logo) {
            EXPECT_EQ(op::Attribute(panelHandle, PANEL_LOGO, kAttrLeft), row.logoLeft);
            EXPECT_EQ(op::Attribute(panelHandle, PANEL_LOGO, kAttrTop), row.logoTop);
            auto* logo = qobject_cast<QLabel*>(CtrlWidget(panelHandle, PANEL_LOGO));
            EXPECT_EQ(logo->pixmap().size(), QSize(40, 50));
        }
        ASSERT_EQ(created.size(), row.texts.size());
        for (std::size_t i = 0; i < created.size(); ++i) {
            const int id = created[i]->property("ctrlId").toInt();
            const Text& want = row.texts[i];
            if (want.text) {
                EXPECT_EQ(created[i]->text().toStdString(), want.text);
            }
            EXPECT_FALSE(created[i]->text().isEmpty());
            EXPECT_EQ(created[i]->pos(), QPoint(want.left, want.top)) << i;
            EXPECT_EQ(op::Attribute(panelHandle, id, kAttrTextPointSize), want.size);
            EXPECT_EQ(op::Attribute(panelHandle, id, kAttrTextBold), 1);
            EXPECT_EQ(op::Attribute(panelHandle, id, kAttrTextColor), row.colour);
            EXPECT_EQ(op::Attribute(panelHandle, id, kAttrTextBgColor), row.header);
        }
        DiscardPanel(panelHandle);
    }
}

TEST(Header, VariantsOutsideTheTableChangeNothing) {
    for (int variant : {5, -1, 7}) {
        StartRuntime();
        SetCallbackTable(kCallbackTable, kCallbackCount);
        const int fresh = LoadPanel(0, kPanelFile, PANEL);
        const int header = op::Attribute(fresh, PANEL_HEADER, kAttrFrameColor);
        const int left = op::Attribute(fresh, PANEL_LOGO, kAttrLeft);
        DiscardPanel(fresh);
        EXPECT_TRUE(BuildHeader(variant).empty()) << variant;
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor), header) << variant;
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_LOGO, kAttrLeft), left) << variant;
        DiscardPanel(panelHandle);
    }
}

TEST(Header, WithoutItsBitmapStillShowsAllFiveTexts) {
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
