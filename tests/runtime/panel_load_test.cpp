// Loading panels: every control the identifier header names is on its panel, named for an
// assistive tool as the operator reads it; every callback the system names is bound; broken files
// and unbound callbacks are refused.
#include "panel_test_support.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <map>
#include <set>
#include <string>
#include <tuple>

using namespace paneltest;
using namespace evok;

namespace {

class PanelLoad : public PanelFixture {};

// Every control identifier the identifier header declares: the control of that name is on its
// panel, its accessible name is present, unique on the panel and the operator's own label where
// it has one (its caption, or the label beside it). Every callback the system's table names is
// used by the description (loading with the table proves each used name is bound).
TEST_F(PanelLoad, HeaderDescriptionAndCallbackTableAgree) {
    QFile header(QStringLiteral(EVOK_SOURCE_DIR "/ground/EVOKVX12TWATCHV11.h"));
    ASSERT_TRUE(header.open(QIODevice::ReadOnly));
    const QRegularExpression re(QStringLiteral("constexpr int ((?:PANEL|POPUP)_\\w+) = (\\d+);"));
    std::map<std::pair<int, QString>, std::string> names;
    std::set<std::string> callbacks;
    int controls = 0, labelled = 0;
    for (auto it = re.globalMatch(QString::fromUtf8(header.readAll())); it.hasNext(); ++controls) {
        const auto m = it.next();
        const std::string name = m.captured(1).toStdString();
        SCOPED_TRACE(name);
        const int panel = name.starts_with("PANEL_") ? main : popup;
        QWidget* w = CtrlWidget(panel, m.captured(2).toInt());
        ASSERT_EQ(w ? w->objectName().toStdString() : "no control", name);
        callbacks.insert(w->property("callback").toString().toStdString());
        const QString accessible = w->accessibleName();
        EXPECT_FALSE(accessible.trimmed().isEmpty());
        const auto [at, fresh] = names.emplace(std::make_pair(panel, accessible), name);
        EXPECT_TRUE(fresh) << "same name as " << at->second;
        QString label;
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            label = button->text();
        else if (auto* beside =
                     PanelWidget(panel)->findChild<QLabel*>(QString::fromStdString("lbl_" + name)))
            label = beside->text();
        labelled += !label.isEmpty();
        EXPECT_TRUE(label.isEmpty() || accessible == label) << accessible.toStdString();
    }
    EXPECT_GT(controls, 50);
    EXPECT_GT(labelled, 40) << "the labels were not found";
    for (const CallbackEntry& e : kRecordingTable)
        EXPECT_TRUE(e.panelCallback || callbacks.count(e.name)) << e.name << " is used nowhere";
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
