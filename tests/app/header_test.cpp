// The header band: colours, logo picture and the texts each brand variant creates.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/callbacks.h"
#include "app/logo.h"
#include "app/shell.h"
#include "runtime/events.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/support/operator.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QSet>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace evok {
namespace {

struct Text {
    std::string text;
    int left, top, size;
};

struct Created {
    int id;
    QLabel* label;
};

class Header : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(StartRuntime(), 1);
        SetCallbackTable(kCallbackTable, kCallbackCount);
        panelHandle = LoadPanel(0, kPanelFile, PANEL);
        ASSERT_GE(panelHandle, 0);
        CopyText(szSoftname, "E-VOK-VX12-Trace-Watch");
        CopyText(szSoftversion, "V1.1");
        for (QLabel* label : PanelWidget(panelHandle)->findChildren<QLabel*>())
            before_.insert(label);
    }
    void TearDown() override { DiscardPanel(panelHandle); }

    std::vector<Created> CreatedTexts() const {
        std::vector<Created> created;
        for (QLabel* label : PanelWidget(panelHandle)->findChildren<QLabel*>()) {
            if (!before_.contains(label))
                created.push_back({label->property("ctrlId").toInt(), label});
        }
        return created;
    }

    QSet<QLabel*> before_;
};

void ExpectTexts(const std::vector<Created>& created, const std::vector<Text>& expected, int colour,
                 int background) {
    ASSERT_EQ(created.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].text);
        const Created& c = created[i];
        EXPECT_EQ(c.label->text().toStdString(), expected[i].text);
        EXPECT_EQ(c.label->x(), expected[i].left);
        EXPECT_EQ(c.label->y(), expected[i].top);
        EXPECT_TRUE(c.label->isVisibleTo(PanelWidget(panelHandle)));
        EXPECT_EQ(op::Attribute(panelHandle, c.id, kAttrTextPointSize), expected[i].size);
        EXPECT_EQ(op::Attribute(panelHandle, c.id, kAttrTextBold), 1);
        EXPECT_EQ(op::Attribute(panelHandle, c.id, kAttrTextColor), colour);
        EXPECT_EQ(op::Attribute(panelHandle, c.id, kAttrTextBgColor), background);
        char font[64] = "";
        GetCtrlAttribute(panelHandle, c.id, kAttrTextFont, font, sizeof font);
        EXPECT_STREQ(font, "AppFont");
    }
}

TEST_F(Header, TalvorVariantBrandsTheBlueHeader) {
    ShowLogo(2);
    EXPECT_EQ(op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor), 0x0080FF);
    EXPECT_EQ(op::Attribute(panelHandle, PANEL_LOGO, kAttrLeft), 175);
    EXPECT_EQ(op::Attribute(panelHandle, PANEL_LOGO, kAttrTop), 6);
    EXPECT_TRUE(op::Visible(panelHandle, PANEL_LOGO));
    auto* logo = qobject_cast<QLabel*>(CtrlWidget(panelHandle, PANEL_LOGO));
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->pixmap().size(), QSize(40, 50)); // talvor.bmp
    std::vector<Created> created = CreatedTexts();
    ASSERT_EQ(created.size(), 5u);
    std::vector<Text> expected = {
        {created[0].label->text().toStdString(), 15, 7, 11},
        {created[1].label->text().toStdString(), 15, 22, 11},
        {created[2].label->text().toStdString(), 15, 37, 11},
        {"E-VOK-VX12-Trace-Watch", 220, 32, 16},
        {"V1.1", 440, 36, 11},
    };
    ExpectTexts(created, expected, 0xFFFFFF, 0x0080FF);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(created[i].label->text().isEmpty());
}

TEST_F(Header, UnbrandedAndLogoOnlyVariants) {
    struct Row {
        int variant;
        int header, colour;
        bool logoVisible;
        int logoLeft, logoTop;
    } rows[] = {
        {0, 0xFFFFFF, 0x808080, false, 0, 0},
        {3, 0xFFFFFF, 0x808080, true, 470, 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.variant);
        TearDown();
        SetUp();
        ShowLogo(row.variant);
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor), row.header);
        EXPECT_EQ(op::Visible(panelHandle, PANEL_LOGO), row.logoVisible);
        if (row.logoVisible) {
            EXPECT_EQ(op::Attribute(panelHandle, PANEL_LOGO, kAttrLeft), row.logoLeft);
            EXPECT_EQ(op::Attribute(panelHandle, PANEL_LOGO, kAttrTop), row.logoTop);
        }
        ExpectTexts(CreatedTexts(), {{"E-VOK-VX12-Trace-Watch", 20, 20, 16}, {"V1.1", 180, 24, 11}},
                    row.colour, row.header);
    }
}

TEST_F(Header, VariantsOutsideTheTableChangeNothing) {
    const int header = op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor);
    const int left = op::Attribute(panelHandle, PANEL_LOGO, kAttrLeft);
    const bool visible = op::Visible(panelHandle, PANEL_LOGO);
    for (int variant : {5, -1, 7}) {
        ShowLogo(variant);
        EXPECT_TRUE(CreatedTexts().empty()) << variant;
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor), header) << variant;
        EXPECT_EQ(op::Attribute(panelHandle, PANEL_LOGO, kAttrLeft), left) << variant;
        EXPECT_EQ(op::Visible(panelHandle, PANEL_LOGO), visible) << variant;
    }
}

TEST(HeaderWithoutBitmap, StillShowsAllFiveTexts) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/" + kPanelFile,
                            dir.filePath(kPanelFile)));
    ASSERT_EQ(StartRuntime(), 1);
    SetCallbackTable(kCallbackTable, kCallbackCount);
    SetProgramDirectoryForTesting(dir.path().toStdString());
    panelHandle = LoadPanel(0, kPanelFile, PANEL);
    ASSERT_GE(panelHandle, 0);
    auto* logo = qobject_cast<QLabel*>(CtrlWidget(panelHandle, PANEL_LOGO));
    ASSERT_NE(logo, nullptr);
    const qint64 before = logo->pixmap().cacheKey();
    const int labels = PanelWidget(panelHandle)->findChildren<QLabel*>().size();
    ShowLogo(2);
    EXPECT_EQ(PanelWidget(panelHandle)->findChildren<QLabel*>().size(), labels + 5);
    EXPECT_EQ(op::Attribute(panelHandle, PANEL_HEADER, kAttrFrameColor), 0x0080FF);
    // The picture stays as the panel description has it.
    EXPECT_EQ(logo->pixmap().cacheKey(), before);
    DiscardPanel(panelHandle);
    SetProgramDirectoryForTesting("");
}

} // namespace
} // namespace evok
