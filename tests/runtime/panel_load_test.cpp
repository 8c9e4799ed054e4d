// Loading panels: every control the identifier header names is in the panel description, on its
// panel, of its kind, with its callback and start value; broken files and unbound callbacks are
// refused.
#include "panel_test_support.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <tuple>

using namespace paneltest;
using namespace evok;

namespace {

// The widget class, and what tells two controls of one class apart.
std::string KindOf(QWidget* w) {
    std::string kind = w->metaObject()->className();
    if (auto* b = qobject_cast<QPushButton*>(w); b && b->isCheckable()) kind += " toggle";
    if (auto* s = qobject_cast<QSpinBox*>(w))
        kind += s->isReadOnly() ? " indicator" : s->maximum() == 65535 ? " u16" : " range?";
    return kind;
}

// Every control by kind: its name, ":callback" when it has one, "=value" to check its start value.
const std::map<std::string, QString> kControls = {
    {"QPushButton",
     "PANEL_BTNTEACH:CC_ButtonTeach PANEL_BTNRESET:CC_ButtonReset PANEL_BTNDATA:CC_BTNData "
     "PANEL_BTNREFRESH:CC_ButtonRefresh PANEL_BTNSEND:CC_BTNSend PANEL_BTNSTOP:CC_BTNStop "
     "PANEL_BTN14:CC_BTNGet PANEL_BTNRUN:CC_BTNRun POPUP_BTNRECFILE:CC_RecordFileNameBtn "
     "POPUP_BTNSTOREDATA:CC_BTNStoreData POPUP_BTNGETDATA:CC_BTNGetData"},
    {"QSpinBox u16",
     "PANEL_NUM_SDELAY=500 PANEL_MAXMODE=0 PANEL_HWMODE=1 PANEL_NUM_DELTAT=0 PANEL_NUM_POWERA=500 "
     "PANEL_NUM_THRESHOLD2:CC_NUM_Threshold2=600 PANEL_NUM_THRESHOLD1:CC_NUM_Threshold1=900 "
     "POPUP_TRIGMODE=0 POPUP_AVERAGE=8 POPUP_POLARITY=1 POPUP_OUTMODE=0 POPUP_ANAMODE=0 "
     "POPUP_HOLD=100 POPUP_EVALMODE=0 POPUP_TRIGLVLA=950"},
    {"QSpinBox indicator", "PANEL_VAL_NORMA PANEL_VAL_ADCCHA PANEL_VAL_AMAX PANEL_VAL_DT "
                           "PANEL_VAL_T2 PANEL_VAL_T1 PANEL_IN1 PANEL_IN0 POPUP_RINGINDEX"},
    {"QRadioButton", "PANEL_RBTFILE:CC_RBTFile=0 PANEL_RBTEEPROM:CC_RBTEeprom=0 "
                     "PANEL_RBTRAM:CC_RBTRam=1"},
    {"QPushButton toggle", "PANEL_TOGBTNPARAII:CC_TOGBTNparaII=0"},
    {"QComboBox", "PANEL_RNGGRAPHSOURCE:CC_RNGGraphSource=0"},
    {"panelsvc::ComPortRing", "PANEL_DROPDCOM:CC_DropDCom=1"},
    {"QPlainTextEdit", "PANEL_TXT_OUTMODE PANEL_TXT_ANAMODE PANEL_TXT_EVALMODE "
                       "PANEL_TXT_TRIGMODE POPUP_RINGTEXT"},
    {"QLineEdit", "PANEL_STATUS POPUP_RECFILENAME"},
    {"panelsvc::StripChart", "PANEL_STRIPCHART_NORM PANEL_STRIPCHART_RAW"},
    {"panelsvc::XYGraph", "PANEL_GRAPH_DATA"},
    {"panelsvc::TimerControl", "PANEL_TIMER50MS:CC_Timer50ms"},
    {"panelsvc::Picture", "PANEL_LOGO"},
    {"panelsvc::Lamp", "PANEL_CTRL43"},
    {"QFrame", "PANEL_HEADER"}};

class PanelLoad : public PanelFixture {};

// Every control identifier the identifier header declares, by name.
std::map<std::string, int> DeclaredControls() {
    std::map<std::string, int> declared;
    QFile header(QStringLiteral(EVOK_SOURCE_DIR "/ground/EVOKVX12TWATCHV11.h"));
    EXPECT_TRUE(header.open(QIODevice::ReadOnly));
    QRegularExpression re(QStringLiteral("constexpr int ((?:PANEL|POPUP)_\\w+) = (\\d+);"));
    for (auto it = re.globalMatch(QString::fromUtf8(header.readAll())); it.hasNext();) {
        const auto m = it.next();
        declared[m.captured(1).toStdString()] = m.captured(2).toInt();
    }
    return declared;
}

// The identifier header and the panel description must not drift apart.
TEST_F(PanelLoad, IdentifierHeaderAndPanelDescriptionAgree) {
    std::map<std::string, int> declared = DeclaredControls();
    ASSERT_FALSE(declared.empty());
    std::size_t tabled = 0;
    const QRegularExpression entry(QStringLiteral("(\\w+)(?::(\\w+))?(?:=(\\d+))?"));
    for (const auto& [kind, controls] : kControls)
        for (const QString& text : controls.split(' ')) {
            const QRegularExpressionMatch m = entry.match(text);
            const std::string name = m.captured(1).toStdString();
            SCOPED_TRACE(name);
            ++tabled;
            ASSERT_TRUE(declared.count(name)) << "not in the header";
            const int panel = name.starts_with("PANEL_") ? main : popup;
            QWidget* w = CtrlWidget(panel, declared[name]);
            ASSERT_EQ(w ? w->objectName().toStdString() : "no control", name);
            EXPECT_EQ(KindOf(w), kind);
            EXPECT_EQ(w->property("callback").toString().toStdString(),
                      m.captured(2).toStdString());
            const std::string start = m.captured(3).toStdString(); // empty: not checked
            EXPECT_EQ(start.empty() ? start : std::to_string(Value(panel, declared[name])), start);
        }
    EXPECT_EQ(tabled, declared.size()) << "an identifier in the header is not tabled here";
}

// Screen readers and GUI automation find every control by its accessible name: present, unique on
// its panel, and the operator's own label where the control has one (its caption, or the label
// beside it).
TEST_F(PanelLoad, EveryControlHasAUniqueAccessibleNameOnItsPanel) {
    const std::map<std::string, int> declared = DeclaredControls();
    ASSERT_GT(declared.size(), 50u);
    std::map<std::pair<int, QString>, std::string> taken;
    int labelled = 0;
    for (const auto& [name, id] : declared) {
        SCOPED_TRACE(name);
        const int panel = name.starts_with("PANEL_") ? main : popup;
        QWidget* w = CtrlWidget(panel, id);
        ASSERT_NE(w, nullptr);
        const QString accessible = w->accessibleName();
        EXPECT_FALSE(accessible.trimmed().isEmpty());
        const auto [it, fresh] = taken.emplace(std::make_pair(panel, accessible), name);
        EXPECT_TRUE(fresh) << "same name as " << it->second << ": " << accessible.toStdString();
        // What an assistive tool is told. (Qt on Linux names a drop-down by its current item and
        // tells its label through a relation.)
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(face, nullptr);
        if (!qobject_cast<QComboBox*>(w)) {
            EXPECT_EQ(face->text(QAccessible::Name).toStdString(), accessible.toStdString());
        }
        QString label;
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            label = button->text();
        else if (auto* beside =
                     PanelWidget(panel)->findChild<QLabel*>(QString::fromStdString("lbl_" + name)))
            label = beside->text();
        if (!label.isEmpty()) {
            ++labelled;
            EXPECT_EQ(accessible.toStdString(), label.toStdString());
        }
    }
    EXPECT_GT(labelled, 40) << "the labels were not found";
}

TEST(PanelLoadFailure, GivesANegativeHandle) {
    QTemporaryDir dir;
    QFile original(QCoreApplication::applicationDirPath() + "/" + kPanelFile);
    ASSERT_TRUE(dir.isValid() && original.open(QIODevice::ReadOnly));
    const QByteArray text = original.readAll();
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return dir.filePath(name).toStdString();
    };
    std::vector<CallbackEntry> withoutRun = kRecordingTable;
    std::erase_if(withoutRun, [](auto& e) { return std::string(e.name) == "CC_BTNRun"; });
    // What is loaded, through which callback table, and the result.
    const std::tuple<std::string, const std::vector<CallbackEntry>*, int> rows[] = {
        {dir.filePath("none.uir").toStdString(), &kRecordingTable, kPanelErrFile},
        {write("cut.uir", text.left(3000)), &kRecordingTable, kPanelErrFile},
        {write("text.uir", "plain text, no panels"), &kRecordingTable, kPanelErrFile},
        {kPanelFile, &withoutRun, kPanelErrCallback},
        {write("typo.uir", QByteArray(text).replace("CC_RBTFile", "CC_RBTFiel")), &kRecordingTable,
         kPanelErrCallback}};
    for (const auto& [file, table, expected] : rows) {
        SCOPED_TRACE(file);
        UseTable(*table);
        EXPECT_EQ(LoadPanel(0, file.c_str(), PANEL), expected);
    }
    UseTable(kRecordingTable);
}

} // namespace
