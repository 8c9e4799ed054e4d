// Values and attributes as the operator sees them: what the program writes shows on screen and
// reads back; out-of-range values are clamped; wrong calls are refused without harm.
#include "panel_test_support.h"

#include "runtime/widgets.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstring>

using namespace paneltest;
using namespace evok;

namespace {

class PanelAttributes : public PanelFixture {
protected:
    QColor PixelAt(QWidget* w, QPoint at) { return w->grab().toImage().pixelColor(at); }
};

struct ValueCase {
    const char* what;
    int control; // on the main panel
    int written;
    int expectedResult;
    int readBack;
};

TEST_F(PanelAttributes, IntegerValuesReadBackClampedToTheControl) {
    const ValueCase rows[] = {
        {"numeric", PANEL_NUM_POWERA, 700, 0, 700},
        {"numeric upper limit", PANEL_NUM_POWERA, 65535, 0, 65535},
        {"numeric above its range clamps", PANEL_NUM_SDELAY, 70000, 0, 65535},
        {"numeric below its range clamps", PANEL_NUM_SDELAY, -5, 0, 0},
        {"indicator", PANEL_VAL_ADCCHA, 1023, 0, 1023},
        {"ring item value", PANEL_RNGGRAPHSOURCE, 2, 0, 2},
        {"ring value without item is refused", PANEL_RNGGRAPHSOURCE, 7, kPanelErrAttribute, 2},
        {"port ring", PANEL_DROPDCOM, 16, 0, 16},
        {"port ring without item", PANEL_DROPDCOM, 17, kPanelErrAttribute, 16},
        {"radio on", PANEL_RBTFILE, 1, 0, 1},
        {"radio any non-zero is on", PANEL_RBTEEPROM, 5, 0, 1},
        {"radio off", PANEL_RBTRAM, 0, 0, 0},
        {"toggle", PANEL_TOGBTNPARAII, 1, 0, 1},
        {"lamp", PANEL_CTRL43, 1, 0, 1},
    };
    for (const ValueCase& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(SetCtrlVal(main, row.control, row.written), row.expectedResult);
        int v = -1;
        EXPECT_EQ(GetCtrlVal(main, row.control, &v), 0);
        EXPECT_EQ(v, row.readBack);
    }
    // What the operator sees follows the value.
    EXPECT_EQ(static_cast<QSpinBox*>(Ctrl(main, PANEL_NUM_POWERA))->text(), "65535");
    EXPECT_EQ(static_cast<QComboBox*>(Ctrl(main, PANEL_RNGGRAPHSOURCE))->currentText(),
              "Delta-T ring buffer");
}

TEST_F(PanelAttributes, UnsignedSixteenBitValuesTravelWhole) {
    for (unsigned short value : {0, 1, 32767, 32768, 65535}) {
        ASSERT_EQ(SetCtrlVal(popup, POPUP_TRIGLVLA, value), 0);
        unsigned short back = 1;
        ASSERT_EQ(GetCtrlVal(popup, POPUP_TRIGLVLA, &back), 0);
        EXPECT_EQ(back, value);
    }
}

TEST_F(PanelAttributes, TextValues) {
    char buffer[64];
    ASSERT_EQ(SetCtrlVal(main, PANEL_STATUS, "Timeout RS232-Line!"), 0);
    ASSERT_EQ(GetCtrlVal(main, PANEL_STATUS, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Timeout RS232-Line!");
    ASSERT_EQ(SetCtrlVal(popup, POPUP_RECFILENAME, "/tmp/EVokRecord.dat"), 0);
    ASSERT_EQ(GetCtrlVal(popup, POPUP_RECFILENAME, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "/tmp/EVokRecord.dat");

    // A text that does not fit the caller's buffer is refused and the buffer left alone.
    std::strcpy(buffer, "untouched");
    EXPECT_EQ(GetCtrlVal(main, PANEL_STATUS, buffer, 19), kPanelErrBufferSize);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(GetCtrlVal(main, PANEL_STATUS, buffer, 20), 0);

    // Numbers and texts do not mix.
    int v = 0;
    EXPECT_EQ(GetCtrlVal(main, PANEL_STATUS, &v), kPanelErrType);
    EXPECT_EQ(SetCtrlVal(main, PANEL_STATUS, 5), kPanelErrType);
    EXPECT_EQ(SetCtrlVal(main, PANEL_NUM_POWERA, "5"), kPanelErrType);
    EXPECT_EQ(GetCtrlVal(main, PANEL_NUM_POWERA, buffer, sizeof buffer), kPanelErrType);
}

TEST_F(PanelAttributes, UnknownPanelsAndControlsAreRefused) {
    int v = 0;
    EXPECT_EQ(GetCtrlVal(9999, PANEL_NUM_POWERA, &v), kPanelErrPanel);
    EXPECT_EQ(GetCtrlVal(main, 999, &v), kPanelErrControl);
    EXPECT_EQ(SetCtrlAttribute(main, 999, kAttrDimmed, 1), kPanelErrControl);
    EXPECT_EQ(SetCtrlAttribute(-1, PANEL_BTNRUN, kAttrDimmed, 1), kPanelErrPanel);
    EXPECT_EQ(DisplayPanel(9999), kPanelErrPanel);
    EXPECT_EQ(HidePanel(9999), kPanelErrPanel);
    EXPECT_EQ(PlotStripChart(main, PANEL_GRAPH_DATA, &v, 1, 0, 0, kTypeUInt), kPanelErrType);
    EXPECT_EQ(SetGraphCursor(main, PANEL_STRIPCHART_RAW, 1, 0, 0), kPanelErrType);
}

TEST_F(PanelAttributes, HiddenControlIsNotVisible) {
    QWidget* power = Ctrl(main, PANEL_NUM_POWERA);
    ASSERT_EQ(SetCtrlAttribute(main, PANEL_NUM_POWERA, kAttrVisible, 0), 0);
    EXPECT_FALSE(power->isVisible());
    int v = -1;
    GetCtrlAttribute(main, PANEL_NUM_POWERA, kAttrVisible, &v);
    EXPECT_EQ(v, 0);
    ASSERT_EQ(SetCtrlAttribute(main, PANEL_NUM_POWERA, kAttrVisible, 1), 0);
    EXPECT_TRUE(power->isVisible());
    GetCtrlAttribute(main, PANEL_NUM_POWERA, kAttrVisible, &v);
    EXPECT_EQ(v, 1);
}

TEST_F(PanelAttributes, DimmedReadsBackAndGreysTheControl) {
    int v = -1;
    ASSERT_EQ(SetCtrlAttribute(popup, POPUP_BTNGETDATA, kAttrDimmed, 1), 0);
    GetCtrlAttribute(popup, POPUP_BTNGETDATA, kAttrDimmed, &v);
    EXPECT_EQ(v, 1);
    EXPECT_FALSE(Ctrl(popup, POPUP_BTNGETDATA)->isEnabled());
    ASSERT_EQ(SetCtrlAttribute(popup, POPUP_BTNGETDATA, kAttrDimmed, 0), 0);
    GetCtrlAttribute(popup, POPUP_BTNGETDATA, kAttrDimmed, &v);
    EXPECT_EQ(v, 0);
}

TEST_F(PanelAttributes, HeaderColourChangesOnScreen) {
    QWidget* header = Ctrl(main, PANEL_HEADER);
    for (int color : {0x0080FF, 0xFFFFFF, 0x808080}) {
        ASSERT_EQ(SetCtrlAttribute(main, PANEL_HEADER, kAttrFrameColor, color), 0);
        EXPECT_EQ(PixelAt(header, QPoint(900, 30)), panelsvc::ColorFromRgb(color));
        int back = -1;
        GetCtrlAttribute(main, PANEL_HEADER, kAttrFrameColor, &back);
        EXPECT_EQ(back, color);
    }
}

// Positions are pixels from the panel's top-left corner, also for controls inside a group.
TEST_F(PanelAttributes, LeftAndTopMoveControls) {
    struct Move {
        int control;
        int left, top;
    } rows[] = {{PANEL_LOGO, 470, 8}, {PANEL_LOGO, 175, 6}, {PANEL_NUM_SDELAY, 150, 250}};
    for (const Move& m : rows) {
        ASSERT_EQ(SetCtrlAttribute(main, m.control, kAttrTop, m.top), 0);
        ASSERT_EQ(SetCtrlAttribute(main, m.control, kAttrLeft, m.left), 0);
        QWidget* w = Ctrl(main, m.control);
        EXPECT_EQ(w->mapTo(PanelWidget(main), QPoint(0, 0)), QPoint(m.left, m.top));
        int left = -1, top = -1;
        GetCtrlAttribute(main, m.control, kAttrLeft, &left);
        GetCtrlAttribute(main, m.control, kAttrTop, &top);
        EXPECT_EQ(left, m.left);
        EXPECT_EQ(top, m.top);
    }
}

TEST_F(PanelAttributes, RingTextColoursShowOnScreen) {
    DisplayPanel(popup);
    QWidget* box = Ctrl(popup, POPUP_RINGTEXT);
    ASSERT_EQ(ResetTextBox(popup, POPUP_RINGTEXT, "DATA-TRANSFER active ..."), 0);
    ASSERT_EQ(SetCtrlAttribute(popup, POPUP_RINGTEXT, kAttrTextBgColor, 0xFF0000), 0);
    ASSERT_EQ(SetCtrlAttribute(popup, POPUP_RINGTEXT, kAttrTextColor, 0xFFFFFF), 0);
    Pump();
    const QImage busy = box->grab().toImage();
    EXPECT_EQ(busy.pixelColor(box->width() - 10, box->height() / 2), QColor(0xFF, 0x00, 0x00));
    bool whiteText = false;
    for (int x = 4; x < box->width() / 2 && !whiteText; ++x)
        for (int y = 4; y < box->height() - 4; ++y)
            if (busy.pixelColor(x, y) == QColor(Qt::white)) whiteText = true;
    EXPECT_TRUE(whiteText);

    SetCtrlAttribute(popup, POPUP_RINGTEXT, kAttrTextBgColor, 0xE0E0E0);
    SetCtrlAttribute(popup, POPUP_RINGTEXT, kAttrTextColor, 0);
    Pump();
    EXPECT_EQ(PixelAt(box, QPoint(box->width() - 10, box->height() / 2)), QColor(0xE0, 0xE0, 0xE0));
    int v = -1;
    GetCtrlAttribute(popup, POPUP_RINGTEXT, kAttrTextColor, &v);
    EXPECT_EQ(v, 0);
}

TEST_F(PanelAttributes, OtherAttributeNumbersAreKeptForReadBack) {
    EXPECT_EQ(SetCtrlAttribute(main, PANEL_BTNRUN, 4711, 42), 0);
    EXPECT_EQ(SetCtrlAttribute(main, PANEL_BTNRUN, 4712, "a text"), 0);
    int v = 0;
    char text[32];
    EXPECT_EQ(GetCtrlAttribute(main, PANEL_BTNRUN, 4711, &v), 0);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(GetCtrlAttribute(main, PANEL_BTNRUN, 4712, text, sizeof text), 0);
    EXPECT_STREQ(text, "a text");
    EXPECT_EQ(GetCtrlAttribute(main, PANEL_BTNRUN, 4713, &v), kPanelErrAttribute); // never written
    EXPECT_EQ(GetCtrlAttribute(main, PANEL_BTNRUN, 4711, text, sizeof text), kPanelErrType);
    EXPECT_EQ(GetCtrlAttribute(main, PANEL_BTNDATA, 4711, &v), kPanelErrAttribute); // per control
    // Numbers with an effect refuse controls they do not apply to, and the wrong value type.
    EXPECT_EQ(SetCtrlAttribute(main, PANEL_BTNRUN, kAttrPointsPerScreen, 101), kPanelErrAttribute);
    EXPECT_EQ(SetCtrlAttribute(main, PANEL_BTNRUN, kAttrBlink, 1), kPanelErrAttribute);
    EXPECT_EQ(SetCtrlAttribute(main, PANEL_BTNRUN, kAttrDimmed, "1"), kPanelErrType);
    EXPECT_EQ(SetCtrlAttribute(main, PANEL_GRAPH_DATA, kAttrLabelText, 1), kPanelErrType);
}

// The header branding's text controls: placed, fitted to their text, above everything else.
TEST_F(PanelAttributes, NewTextMessageLooksAsTold) {
    const int id = NewCtrl(main, kCtrlTextMessage, "", 32, 220);
    ASSERT_GT(id, 0);
    EXPECT_EQ(CtrlWidget(main, id)->pos(), QPoint(220, 32));
    SetCtrlAttribute(main, id, kAttrTextFont, "AppFont");
    SetCtrlAttribute(main, id, kAttrTextBold, 1);
    SetCtrlAttribute(main, id, kAttrTextBgColor, 0x0080FF);
    SetCtrlAttribute(main, id, kAttrTextColor, 0xFFFFFF);
    SetCtrlAttribute(main, id, kAttrTextPointSize, 16);
    ASSERT_EQ(SetCtrlVal(main, id, "E-VOK-VX12-Trace-Watch"), 0);
    Pump();
    auto* label = qobject_cast<QLabel*>(Ctrl(main, id));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pos(), QPoint(220, 32));
    EXPECT_EQ(label->font().family(), QApplication::font().family());
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(QFontInfo(label->font()).pixelSize(), 16);
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    EXPECT_EQ(PanelWidget(main)->children().last(), label) << "not above the other controls";
    const QImage image = label->grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0x00, 0x80, 0xFF));
    char text[64];
    ASSERT_EQ(GetCtrlAttribute(main, id, kAttrTextFont, text, sizeof text), 0);
    EXPECT_STREQ(text, "AppFont");
    int v = 0;
    GetCtrlAttribute(main, id, kAttrTextPointSize, &v);
    EXPECT_EQ(v, 16);
    // A second one gets its own identifier.
    const int second = NewCtrl(main, kCtrlTextMessage, "V1.1", 36, 440);
    EXPECT_GT(second, 0);
    EXPECT_NE(second, id);
    EXPECT_EQ(NewCtrl(main, 999, "", 0, 0), kPanelErrAttribute);
}

TEST_F(PanelAttributes, TextBoxLines) {
    auto* box = qobject_cast<QPlainTextEdit*>(Ctrl(main, PANEL_TXT_TRIGMODE));
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(ResetTextBox(main, PANEL_TXT_TRIGMODE, "first\nsecond"), 0);
    ASSERT_EQ(ReplaceTextBoxLine(main, PANEL_TXT_TRIGMODE, 0, "INTERN-CHA-scan128"), 0);
    EXPECT_EQ(box->toPlainText(), "INTERN-CHA-scan128\nsecond");
    ASSERT_EQ(ReplaceTextBoxLine(main, PANEL_TXT_TRIGMODE, 5, "appended"), 0);
    EXPECT_EQ(box->toPlainText(), "INTERN-CHA-scan128\nsecond\nappended");
    ASSERT_EQ(ResetTextBox(main, PANEL_TXT_TRIGMODE, ""), 0);
    ASSERT_EQ(ReplaceTextBoxLine(main, PANEL_TXT_TRIGMODE, 0, "CONTINOUS"), 0);
    EXPECT_EQ(box->toPlainText(), "CONTINOUS");
    EXPECT_EQ(ReplaceTextBoxLine(main, PANEL_STATUS, 0, "x"), kPanelErrType);
    EXPECT_EQ(ReplaceTextBoxLine(main, PANEL_TXT_TRIGMODE, -1, "x"), kPanelErrAttribute);
}

TEST_F(PanelAttributes, LampBlinksUntilSetToZero) {
    auto* lamp = qobject_cast<panelsvc::Lamp*>(Ctrl(main, PANEL_CTRL43));
    ASSERT_NE(lamp, nullptr);
    ASSERT_EQ(SetCtrlAttribute(main, PANEL_CTRL43, kAttrBlink, 1), 0);
    bool sawLit = false, sawDark = false;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(700)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        (lamp->litNow() ? sawLit : sawDark) = true;
    }
    EXPECT_TRUE(sawLit && sawDark);
    ASSERT_EQ(SetCtrlAttribute(main, PANEL_CTRL43, kAttrBlink, 0), 0);
    EXPECT_FALSE(lamp->litNow());
    int v = -1;
    GetCtrlAttribute(main, PANEL_CTRL43, kAttrBlink, &v);
    EXPECT_EQ(v, 0);
    GetCtrlVal(main, PANEL_CTRL43, &v);
    EXPECT_EQ(v, 0);
}

// ---------------------------------------------------------------------------------------------
// Pictures

QImage TestImage(QColor color) {
    QImage image(40, 50, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

TEST_F(PanelAttributes, PictureShowsBmpAndPngFilesAndKeepsItsPictureOnBadOnes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath("logo.png"), bmp = dir.filePath("logo.bmp"),
                  bad = dir.filePath("bad.bmp");
    ASSERT_TRUE(TestImage(Qt::red).save(png));
    ASSERT_TRUE(TestImage(Qt::green).save(bmp));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("BM this is not a bitmap");
    f.close();

    QWidget* logo = Ctrl(main, PANEL_LOGO);
    const QPoint middle(logo->width() / 2, logo->height() / 2);
    ASSERT_EQ(DisplayImageFile(main, PANEL_LOGO, bmp.toLocal8Bit().constData()), 0);
    EXPECT_EQ(logo->grab().toImage().pixelColor(middle), QColor(Qt::green));
    ASSERT_EQ(DisplayImageFile(main, PANEL_LOGO, png.toLocal8Bit().constData()), 0);
    EXPECT_EQ(logo->grab().toImage().pixelColor(middle), QColor(Qt::red));
    EXPECT_EQ(DisplayImageFile(main, PANEL_LOGO, bad.toLocal8Bit().constData()), kPanelErrImage);
    EXPECT_EQ(
        DisplayImageFile(main, PANEL_LOGO, dir.filePath("none.bmp").toLocal8Bit().constData()),
        kPanelErrImage);
    EXPECT_EQ(logo->grab().toImage().pixelColor(middle), QColor(Qt::red));
    EXPECT_EQ(DisplayImageFile(main, PANEL_STATUS, png.toLocal8Bit().constData()), kPanelErrType);
}

TEST_F(PanelAttributes, PictureFileByBareNameComesFromBesideTheProgram) {
    const QString name =
        QStringLiteral("panel-test-logo-%1.png").arg(QCoreApplication::applicationPid());
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    ASSERT_TRUE(TestImage(Qt::blue).save(path));
    const int result = DisplayImageFile(main, PANEL_LOGO, name.toLocal8Bit().constData());
    QFile::remove(path);
    ASSERT_EQ(result, 0);
    QWidget* logo = Ctrl(main, PANEL_LOGO);
    EXPECT_EQ(logo->grab().toImage().pixelColor(logo->width() / 2, logo->height() / 2),
              QColor(Qt::blue));
}

} // namespace
