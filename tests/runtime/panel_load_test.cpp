// Loading panels: the panel description holds every control the system names, of the right kind,
// with the right callback and start value; broken files and unbound callbacks are refused.
#include "panel_test_support.h"

#include "runtime/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>

#include <map>
#include <string>

using namespace paneltest;
using namespace evok;

namespace {

// What an operator would call the control.
std::string KindOf(QWidget* w) {
    if (qobject_cast<panelsvc::StripChart*>(w)) return "strip chart";
    if (qobject_cast<panelsvc::XYGraph*>(w)) return "xy graph";
    if (qobject_cast<panelsvc::TimerControl*>(w)) return "timer";
    if (qobject_cast<panelsvc::Lamp*>(w)) return "lamp";
    if (qobject_cast<panelsvc::Picture*>(w)) return "picture";
    if (qobject_cast<panelsvc::ComPortRing*>(w)) return "port ring";
    if (qobject_cast<QRadioButton*>(w)) return "radio";
    if (auto* b = qobject_cast<QPushButton*>(w)) return b->isCheckable() ? "toggle" : "button";
    if (auto* s = qobject_cast<QSpinBox*>(w)) {
        if (s->isReadOnly()) return "indicator";
        return s->minimum() == 0 && s->maximum() == 65535 ? "numeric u16" : "numeric (range?)";
    }
    if (qobject_cast<QComboBox*>(w)) return "ring";
    if (qobject_cast<QLineEdit*>(w)) return "text line";
    if (qobject_cast<QPlainTextEdit*>(w)) return "text box";
    if (qobject_cast<QFrame*>(w)) return "frame";
    return "other";
}

struct ControlRow {
    int panel; // PANEL or POPUP
    const char* name;
    int id;
    const char* kind;
    const char* callback; // "" for none
};

// Both control maps, plus the controls known only by their callbacks.
const ControlRow kControls[] = {
    {PANEL, "PANEL_NUM_SDELAY", PANEL_NUM_SDELAY, "numeric u16", ""},
    {PANEL, "PANEL_DROPDCOM", PANEL_DROPDCOM, "port ring", "CC_DropDCom"},
    {PANEL, "PANEL_STRIPCHART_NORM", PANEL_STRIPCHART_NORM, "strip chart", ""},
    {PANEL, "PANEL_STRIPCHART_RAW", PANEL_STRIPCHART_RAW, "strip chart", ""},
    {PANEL, "PANEL_RNGGRAPHSOURCE", PANEL_RNGGRAPHSOURCE, "ring", "CC_RNGGraphSource"},
    {PANEL, "PANEL_BTNTEACH", PANEL_BTNTEACH, "button", "CC_ButtonTeach"},
    {PANEL, "PANEL_BTNRESET", PANEL_BTNRESET, "button", "CC_ButtonReset"},
    {PANEL, "PANEL_BTNREFRESH", PANEL_BTNREFRESH, "button", "CC_ButtonRefresh"},
    {PANEL, "PANEL_BTNDATA", PANEL_BTNDATA, "button", "CC_BTNData"},
    {PANEL, "PANEL_BTNSEND", PANEL_BTNSEND, "button", "CC_BTNSend"},
    {PANEL, "PANEL_BTNSTOP", PANEL_BTNSTOP, "button", "CC_BTNStop"},
    {PANEL, "PANEL_MAXMODE", PANEL_MAXMODE, "numeric u16", ""},
    {PANEL, "PANEL_BTN14", PANEL_BTN14, "button", "CC_BTNGet"},
    {PANEL, "PANEL_LOGO", PANEL_LOGO, "picture", ""},
    {PANEL, "PANEL_TIMER50MS", PANEL_TIMER50MS, "timer", "CC_Timer50ms"},
    {PANEL, "PANEL_RBTFILE", PANEL_RBTFILE, "radio", "CC_RBTFile"},
    {PANEL, "PANEL_RBTEEPROM", PANEL_RBTEEPROM, "radio", "CC_RBTEeprom"},
    {PANEL, "PANEL_RBTRAM", PANEL_RBTRAM, "radio", "CC_RBTRam"},
    {PANEL, "PANEL_BTNRUN", PANEL_BTNRUN, "button", "CC_BTNRun"},
    {PANEL, "PANEL_HWMODE", PANEL_HWMODE, "numeric u16", ""},
    {PANEL, "PANEL_VAL_NORMA", PANEL_VAL_NORMA, "indicator", ""},
    {PANEL, "PANEL_VAL_ADCCHA", PANEL_VAL_ADCCHA, "indicator", ""},
    {PANEL, "PANEL_VAL_AMAX", PANEL_VAL_AMAX, "indicator", ""},
    {PANEL, "PANEL_VAL_DT", PANEL_VAL_DT, "indicator", ""},
    {PANEL, "PANEL_VAL_T2", PANEL_VAL_T2, "indicator", ""},
    {PANEL, "PANEL_VAL_T1", PANEL_VAL_T1, "indicator", ""},
    {PANEL, "PANEL_HEADER", PANEL_HEADER, "frame", ""},
    {PANEL, "PANEL_NUM_DELTAT", PANEL_NUM_DELTAT, "numeric u16", ""},
    {PANEL, "PANEL_NUM_THRESHOLD2", PANEL_NUM_THRESHOLD2, "numeric u16", "CC_NUM_Threshold2"},
    {PANEL, "PANEL_NUM_THRESHOLD1", PANEL_NUM_THRESHOLD1, "numeric u16", "CC_NUM_Threshold1"},
    {PANEL, "PANEL_CTRL43", PANEL_CTRL43, "lamp", ""},
    {PANEL, "PANEL_STATUS", PANEL_STATUS, "text line", ""},
    {PANEL, "PANEL_NUM_POWERA", PANEL_NUM_POWERA, "numeric u16", ""},
    {PANEL, "PANEL_GRAPH_DATA", PANEL_GRAPH_DATA, "xy graph", ""},
    {PANEL, "PANEL_TOGBTNPARAII", PANEL_TOGBTNPARAII, "toggle", "CC_TOGBTNparaII"},
    {PANEL, "PANEL_TXT_OUTMODE", PANEL_TXT_OUTMODE, "text box", ""},
    {PANEL, "PANEL_TXT_ANAMODE", PANEL_TXT_ANAMODE, "text box", ""},
    {PANEL, "PANEL_TXT_EVALMODE", PANEL_TXT_EVALMODE, "text box", ""},
    {PANEL, "PANEL_TXT_TRIGMODE", PANEL_TXT_TRIGMODE, "text box", ""},
    {PANEL, "PANEL_IN1", PANEL_IN1, "indicator", ""},
    {PANEL, "PANEL_IN0", PANEL_IN0, "indicator", ""},
    {POPUP, "POPUP_TRIGMODE", POPUP_TRIGMODE, "numeric u16", ""},
    {POPUP, "POPUP_BTNRECFILE", POPUP_BTNRECFILE, "button", "CC_RecordFileNameBtn"},
    {POPUP, "POPUP_BTNSTOREDATA", POPUP_BTNSTOREDATA, "button", "CC_BTNStoreData"},
    {POPUP, "POPUP_BTNGETDATA", POPUP_BTNGETDATA, "button", "CC_BTNGetData"},
    {POPUP, "POPUP_RECFILENAME", POPUP_RECFILENAME, "text line", ""},
    {POPUP, "POPUP_AVERAGE", POPUP_AVERAGE, "numeric u16", ""},
    {POPUP, "POPUP_POLARITY", POPUP_POLARITY, "numeric u16", ""},
    {POPUP, "POPUP_OUTMODE", POPUP_OUTMODE, "numeric u16", ""},
    {POPUP, "POPUP_ANAMODE", POPUP_ANAMODE, "numeric u16", ""},
    {POPUP, "POPUP_HOLD", POPUP_HOLD, "numeric u16", ""},
    {POPUP, "POPUP_EVALMODE", POPUP_EVALMODE, "numeric u16", ""},
    {POPUP, "POPUP_TRIGLVLA", POPUP_TRIGLVLA, "numeric u16", ""},
    {POPUP, "POPUP_RINGINDEX", POPUP_RINGINDEX, "indicator", ""},
    {POPUP, "POPUP_RINGTEXT", POPUP_RINGTEXT, "text box", ""},
};

class PanelLoad : public PanelFixture {
protected:
    int HandleOf(int resource) const { return resource == PANEL ? main : popup; }
};

TEST_F(PanelLoad, EveryControlIsOnItsPanelWithItsKindAndCallback) {
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        QWidget* w = CtrlWidget(HandleOf(row.panel), row.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->objectName().toStdString(), row.name);
        EXPECT_EQ(KindOf(w), row.kind);
        EXPECT_EQ(w->property("callback").toString().toStdString(), row.callback);
    }
    EXPECT_EQ(PanelWidget(main)->property("panelCallback").toString(), "CC_PANEL");
    EXPECT_EQ(PanelWidget(popup)->property("panelCallback").toString(), "CC_POPUP");
}

// The identifier header and the panel description must not drift apart: every identifier in the
// header is tabled above with the same number, and every control in the file is in the header.
TEST_F(PanelLoad, IdentifierHeaderAndPanelDescriptionAgree) {
    QFile header(QStringLiteral(EVOK_SOURCE_DIR "/app/EVOKVX12TWATCHV11.h"));
    ASSERT_TRUE(header.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(header.readAll());
    std::map<std::string, int> declared;
    QRegularExpression re(QStringLiteral("constexpr int ((?:PANEL|POPUP)_\\w+) = (\\d+);"));
    for (auto it = re.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        declared[m.captured(1).toStdString()] = m.captured(2).toInt();
    }
    ASSERT_GT(declared.size(), 50u);
    std::map<std::string, int> tabled;
    for (const ControlRow& row : kControls)
        tabled[row.name] = row.id;
    EXPECT_EQ(declared, tabled);

    for (int resource : {PANEL, POPUP}) {
        const char* prefix = resource == PANEL ? "PANEL_" : "POPUP_";
        for (QWidget* w : PanelWidget(HandleOf(resource))->findChildren<QWidget*>()) {
            if (!w->property("ctrlId").isValid()) continue;
            const std::string name = w->objectName().toStdString();
            EXPECT_EQ(name.rfind(prefix, 0), 0u) << name << " on the wrong panel";
            ASSERT_TRUE(declared.count(name)) << name << " is not in the header";
            EXPECT_EQ(w->property("ctrlId").toInt(), declared[name]) << name;
        }
    }
}

struct StartValue {
    int panel;
    int id;
    int value;
};

TEST_F(PanelLoad, ControlsStartAtTheirDefaults) {
    const StartValue rows[] = {
        {PANEL, PANEL_NUM_POWERA, 500},     {PANEL, PANEL_NUM_THRESHOLD1, 900},
        {PANEL, PANEL_NUM_THRESHOLD2, 600}, {PANEL, PANEL_NUM_DELTAT, 0},
        {PANEL, PANEL_NUM_SDELAY, 500},     {PANEL, PANEL_HWMODE, 1},
        {PANEL, PANEL_MAXMODE, 0},          {POPUP, POPUP_TRIGLVLA, 950},
        {POPUP, POPUP_POLARITY, 1},         {POPUP, POPUP_HOLD, 100},
        {POPUP, POPUP_AVERAGE, 8},          {POPUP, POPUP_EVALMODE, 0},
        {POPUP, POPUP_TRIGMODE, 0},         {POPUP, POPUP_OUTMODE, 0},
        {POPUP, POPUP_ANAMODE, 0},          {PANEL, PANEL_RBTRAM, 1},
        {PANEL, PANEL_RBTEEPROM, 0},        {PANEL, PANEL_RBTFILE, 0},
        {PANEL, PANEL_TOGBTNPARAII, 0},     {PANEL, PANEL_RNGGRAPHSOURCE, 0},
        {PANEL, PANEL_DROPDCOM, 1},
    };
    for (const StartValue& row : rows) {
        unsigned short v = 0xFFFF;
        EXPECT_EQ(GetCtrlVal(HandleOf(row.panel), row.id, &v), 0) << row.id;
        EXPECT_EQ(v, row.value) << "control " << row.id << " of panel " << row.panel;
    }
    char text[64];
    ASSERT_EQ(GetCtrlVal(popup, POPUP_RINGTEXT, text, sizeof text), 0);
    EXPECT_STREQ(text, "DATA-RING-BUFFER-256");
    int color = 0;
    ASSERT_EQ(GetCtrlAttribute(popup, POPUP_RINGTEXT, kAttrTextBgColor, &color), 0);
    EXPECT_EQ(color, 0xE0E0E0);
}

TEST_F(PanelLoad, RingsOfferTheirItemValues) {
    auto* source = qobject_cast<QComboBox*>(Ctrl(main, PANEL_RNGGRAPHSOURCE));
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(source->count(), 3);
    const char* labels[] = {"Raw values", "Normalised values", "Delta-T ring buffer"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(source->itemText(i).toStdString(), labels[i]);
        EXPECT_EQ(source->itemData(i).toInt(), i);
    }
    auto* com = qobject_cast<QComboBox*>(Ctrl(main, PANEL_DROPDCOM));
    ASSERT_NE(com, nullptr);
    ASSERT_EQ(com->count(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(com->itemData(i).toInt(), i + 1);
        EXPECT_TRUE(com->itemText(i).startsWith(QStringLiteral("COM%1").arg(i + 1)));
    }
}

TEST_F(PanelLoad, ComRingShowsTheDeviceBehindAPortWhenTheListOpens) {
    auto* com = qobject_cast<QComboBox*>(Ctrl(main, PANEL_DROPDCOM));
    ASSERT_NE(com, nullptr);
    qputenv("EVOK_COM7", "/dev/evok-test-port");
    com->showPopup();
    com->hidePopup();
    qunsetenv("EVOK_COM7");
    EXPECT_EQ(com->itemText(6).toStdString(), "COM7  /dev/evok-test-port");
}

TEST_F(PanelLoad, PanelIsAHiddenFixedSizeWindowTitledFromTheDescription) {
    QWidget* w = PanelWidget(popup);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isWindow());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->windowTitle().toStdString(), "E-VOK-VX12 Para II");
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_EQ(PanelWidget(main)->windowTitle().toStdString(), "E-VOK-VX12-Trace-Watch V1.1");
    // Start-up visibility of the plot area: the RAW strip chart only.
    EXPECT_FALSE(Ctrl(main, PANEL_STRIPCHART_RAW)->isHidden());
    EXPECT_TRUE(Ctrl(main, PANEL_STRIPCHART_NORM)->isHidden());
    EXPECT_TRUE(Ctrl(main, PANEL_GRAPH_DATA)->isHidden());
    EXPECT_FALSE(Ctrl(main, PANEL_TIMER50MS)->isVisible());
}

TEST_F(PanelLoad, EachLoadIsANewInstance) {
    const int again = LoadPanel(0, kPanelFile, PANEL);
    ASSERT_GE(again, 0);
    EXPECT_NE(again, main);
    EXPECT_NE(PanelWidget(again), PanelWidget(main));
    SetCtrlVal(again, PANEL_NUM_POWERA, 700);
    unsigned short v = 0;
    GetCtrlVal(main, PANEL_NUM_POWERA, &v);
    EXPECT_EQ(v, 500);
    EXPECT_EQ(DiscardPanel(again), 0);
    EXPECT_EQ(PanelWidget(again), nullptr);
    EXPECT_EQ(SetCtrlVal(again, PANEL_NUM_POWERA, 1), kPanelErrPanel);
    EXPECT_EQ(DiscardPanel(again), kPanelErrPanel);
    EXPECT_EQ(GetCtrlVal(main, PANEL_NUM_POWERA, &v), 0); // the other instance is untouched
}

// ---------------------------------------------------------------------------------------------

struct BadLoad {
    const char* what;
    std::function<std::string(const QTemporaryDir&)> file; // path to load
    int resource;
    bool withoutRun; // the callback table lacks CC_BTNRun
    int expected;
};

void PrintTo(const BadLoad& c, std::ostream* os) {
    *os << c.what;
}

class PanelLoadFailure : public ::testing::TestWithParam<BadLoad> {};

std::string CopyWithEdit(const QTemporaryDir& dir, const char* from, const char* to) {
    QFile original(QCoreApplication::applicationDirPath() + "/" + kPanelFile);
    EXPECT_TRUE(original.open(QIODevice::ReadOnly));
    QByteArray text = original.readAll();
    if (from) text.replace(from, to);
    const QString path = dir.filePath("edited.uir");
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(text);
    return path.toStdString();
}

std::string WriteBytes(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath("broken.uir");
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    return path.toStdString();
}

TEST_P(PanelLoadFailure, GivesANegativeHandleAndLeavesNothingLoaded) {
    const BadLoad& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<CallbackEntry> table = RecordingTable();
    if (c.withoutRun)
        std::erase_if(table,
                      [](const CallbackEntry& e) { return std::string(e.name) == "CC_BTNRun"; });
    SetCallbackTable(table.data(), static_cast<int>(table.size()));
    const std::string path = c.file(dir);
    const auto windowsBefore = QApplication::topLevelWidgets().size();
    EXPECT_EQ(LoadPanel(0, path.c_str(), c.resource), c.expected);
    FlushDeferredDeletes();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    SetCallbackTable(RecordingTable().data(), static_cast<int>(RecordingTable().size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PanelLoadFailure,
    ::testing::Values(
        BadLoad{"missing file",
                [](const QTemporaryDir& d) { return d.filePath("none.uir").toStdString(); }, PANEL,
                false, kPanelErrFile},
        BadLoad{"missing bare name beside the program",
                [](const QTemporaryDir&) { return std::string("NOSUCHPANELS.uir"); }, PANEL, false,
                kPanelErrFile},
        BadLoad{"not a panel description",
                [](const QTemporaryDir& d) {
                    return WriteBytes(d, "\x7f"
                                         "ELF garbage\n");
                },
                PANEL, false, kPanelErrFile},
        BadLoad{"empty file", [](const QTemporaryDir& d) { return WriteBytes(d, ""); }, PANEL,
                false, kPanelErrFile},
        BadLoad{"cut-off file",
                [](const QTemporaryDir& d) {
                    QFile f(QCoreApplication::applicationDirPath() + "/" + kPanelFile);
                    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
                    return WriteBytes(d, f.readAll().left(3000));
                },
                PANEL, false, kPanelErrFile},
        BadLoad{"no such resource", [](const QTemporaryDir&) { return std::string(kPanelFile); }, 3,
                false, kPanelErrResource},
        BadLoad{"callback without an entry",
                [](const QTemporaryDir&) { return std::string(kPanelFile); }, PANEL, true,
                kPanelErrCallback},
        BadLoad{"misspelt callback name",
                [](const QTemporaryDir& d) { return CopyWithEdit(d, "CC_RBTFile", "CC_RBTFiel"); },
                PANEL, false, kPanelErrCallback},
        BadLoad{"unknown panel callback",
                [](const QTemporaryDir& d) { return CopyWithEdit(d, "CC_POPUP", "CC_POPUPX"); },
                POPUP, false, kPanelErrCallback},
        BadLoad{"identifier used twice",
                [](const QTemporaryDir& d) {
                    return CopyWithEdit(d, "<number>53</number>", "<number>52</number>");
                },
                PANEL, false, kPanelErrFile}),
    [](const ::testing::TestParamInfo<BadLoad>& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST(PanelLoadPath, AnAbsolutePathLoadsToo) {
    SetCallbackTable(RecordingTable().data(), static_cast<int>(RecordingTable().size()));
    const std::string path =
        (QCoreApplication::applicationDirPath() + "/" + kPanelFile).toStdString();
    const int h = LoadPanel(0, path.c_str(), POPUP);
    ASSERT_GE(h, 0);
    EXPECT_EQ(LoadPanel(1, path.c_str(), POPUP), kPanelErrPanel); // only top-level panels
    DiscardPanel(h);
}

} // namespace
