// Moving the parameter set between the panels and the controller's RAM or EEPROM or a parameter
// file, as the operator does it with the target buttons, Send and Get.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/support/operator.h"
#include "tests/support/program.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <fstream>
#include <sstream>

namespace evok {
namespace {

class Transfer : public op::ProgramWithSim {
protected:
    // Operator edits: powerA on the main panel, hold on para II.
    void EditPanels(int power, int holdValue) {
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, power);
        SetCtrlVal(panelPopUp, POPUP_HOLD, holdValue);
    }
    std::string ReadFile(const QString& path) {
        std::ifstream in(path.toStdString());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void WriteFile(const QString& path, const std::string& text) {
        std::ofstream(path.toStdString()) << text;
    }
    QTemporaryDir dir_;
};

TEST_F(Transfer, SendWritesBothPagesToRamOrEeprom) {
    struct Row {
        const char* name;
        int radio;
        std::uint16_t order;
        bool eeprom;
    } rows[] = {{"RAM", PANEL_RBTRAM, 1, false}, {"EEPROM", PANEL_RBTEEPROM, 3, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (op::IntValue(panelHandle, row.radio) == 0) op::Click(panelHandle, row.radio);
        EditPanels(1111, 77);
        ClearRequests();
        op::Click(panelHandle, PANEL_BTNSEND);
        ASSERT_TRUE(op::WaitUntil([&] { return sim_->model().requestCount() >= 2; }, 2));
        op::Pump(0.2);
        const std::vector<sim::RequestRecord> requests = sim_->model().requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0].order, row.order);
        EXPECT_EQ(requests[1].order, row.order);
        EXPECT_EQ(op::Word(requests[0].bytes, 0), 0);
        EXPECT_EQ(op::Word(requests[0].bytes, 1), 1111);
        EXPECT_EQ(op::Word(requests[0].bytes, 7), 77);
        EXPECT_EQ(op::Word(requests[1].bytes, 0), 1);
        for (int i = 1; i < 16; ++i)
            EXPECT_EQ(op::Word(requests[1].bytes, i), 0);
        EXPECT_GE(sim::secondsBetween(requests[0].firstByte, requests[1].firstByte), 0.1);
        EXPECT_EQ(op::Status(), "Transmit para Ok!");
        const sim::Parameters stored =
            row.eeprom ? sim_->model().eepromParameters() : sim_->model().ramParameters();
        EXPECT_EQ(stored[0], 1111);
        EXPECT_EQ(stored[6], 77);
    }
}

TEST_F(Transfer, SendFromTheKeyboardSendsNothing) {
    ClearRequests();
    op::PressSpace(panelHandle, PANEL_BTNSEND);
    op::Pump(0.3);
    EXPECT_EQ(sim_->model().requestCount(), 0u);
}

TEST_F(Transfer, GetFromRamShowsTheControllersValuesOnBothPanels) {
    sim::ParamPage page = sim_->model().ramPage(0);
    page[1] = 4321; // powerA, main panel
    page[8] = 32;   // average, para II
    page[11] = 2;   // trigmode, para II
    sim_->model().setRamPage(0, page);
    op::Click(panelHandle, PANEL_BTN14);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), 4321);
    EXPECT_EQ(op::IntValue(panelPopUp, POPUP_AVERAGE), 32);
    EXPECT_EQ(op::IntValue(panelPopUp, POPUP_TRIGMODE), 2);
    EXPECT_EQ(op::TextValue(panelHandle, PANEL_TXT_TRIGMODE), "EXT-IN0-HIGH (cont.)");
    EXPECT_EQ(op::Status(), "Parameter-frame received! - Line Ok!");
}

TEST_F(Transfer, FileSavedFromThePanelsLoadsBackTheSameValues) {
    const QString path = dir_.filePath("plant.cfg");
    op::Click(panelHandle, PANEL_RBTFILE);
    ASSERT_EQ(target, DATFILE);
    EditPanels(65535, 3);
    QueueFileSelectAnswer(2, path.toStdString());
    op::Click(panelHandle, PANEL_BTNSEND);
    EXPECT_EQ(op::Status(), "Transmit...");
    const FileSelectCall save = LastFileSelectCall();
    EXPECT_EQ(save.directory, proj_dir);
    EXPECT_EQ(save.fileName, "VX12para.cfg");
    EXPECT_EQ(save.filter, "*.cfg");
    EXPECT_EQ(save.title, "E-VOK-VX12 Parameter File");
    EXPECT_EQ(save.buttonLabel, 0);
    EXPECT_EQ(save.restrictDirectory, 0);
    EXPECT_EQ(save.restrictExtension, 1);
    EXPECT_EQ(save.allowCancel, 1);
    EXPECT_EQ(save.allowMakeDirectory, 1);

    // 32 numbers, five characters wide, one per line: page 0, then page 1.
    std::istringstream lines(ReadFile(path));
    std::vector<std::string> fields;
    for (std::string line; std::getline(lines, line);)
        fields.push_back(line);
    ASSERT_EQ(fields.size(), 32u);
    for (const std::string& field : fields)
        EXPECT_EQ(field.size(), 5u) << "'" << field << "'";
    EXPECT_EQ(std::stoul(fields[0]), 0u);
    EXPECT_EQ(std::stoul(fields[1]), 65535u);
    EXPECT_EQ(std::stoul(fields[16]), 1u);

    std::vector<int> saved;
    for (int id : {PANEL_NUM_POWERA, PANEL_NUM_THRESHOLD1, PANEL_NUM_SDELAY}) {
        saved.push_back(op::IntValue(panelHandle, id));
    }
    saved.push_back(op::IntValue(panelPopUp, POPUP_HOLD));
    EditPanels(1, 1);
    QueueFileSelectAnswer(1, path.toStdString());
    op::Click(panelHandle, PANEL_BTN14);
    EXPECT_EQ(LastFileSelectCall().buttonLabel, 3);
    std::vector<int> loaded;
    for (int id : {PANEL_NUM_POWERA, PANEL_NUM_THRESHOLD1, PANEL_NUM_SDELAY}) {
        loaded.push_back(op::IntValue(panelHandle, id));
    }
    loaded.push_back(op::IntValue(panelPopUp, POPUP_HOLD));
    EXPECT_EQ(loaded, saved);
}

TEST_F(Transfer, LoadTakesTheLow16BitsOfPositions2To16Only) {
    const QString path = dir_.filePath("odd.cfg");
    std::string text = "99999\n70000\n";
    for (int i = 3; i <= 16; ++i)
        text += std::to_string(i) + "\n";
    for (int i = 17; i <= 32; ++i)
        text += "4000000000 ";
    WriteFile(path, text);
    op::Click(panelHandle, PANEL_RBTFILE);
    QueueFileSelectAnswer(1, path.toStdString());
    op::Click(panelHandle, PANEL_BTN14);
    EXPECT_EQ(powerA, 4464);
    EXPECT_EQ(thd1, 3);
    EXPECT_EQ(maxmode, 16);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), 4464);
}

TEST_F(Transfer, AFileThatCannotBeLoadedChangesNothingAndSaysSo) {
    struct Row {
        const char* name;
        const char* content; // null: no file
    } rows[] = {
        {"missing", nullptr},
        {"empty", ""},
        {"31 numbers", "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 "
                       "28 29 30"},
        {"not numbers", "0 500 nine hundred 600 950"},
    };
    op::Click(panelHandle, PANEL_RBTFILE);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir_.filePath(QString(row.name) + ".cfg");
        if (row.content) WriteFile(path, row.content);
        const unsigned short before = powerA;
        EditPanels(before + 1, 5);
        QueueFileSelectAnswer(1, path.toStdString());
        op::Click(panelHandle, PANEL_BTN14);
        EXPECT_EQ(powerA, before);
        // The panels show the unchanged variables again, as after a cancelled dialog.
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), before);
        EXPECT_EQ(op::Status(), "Error reading parameter-file - not loaded!");
    }
}

TEST_F(Transfer, CancelledLoadPutsTheVariablesBackOnThePanels) {
    op::Click(panelHandle, PANEL_RBTFILE);
    const unsigned short before = powerA;
    EditPanels(before + 7, 5);
    QueueFileSelectAnswer(0, "");
    op::Click(panelHandle, PANEL_BTN14);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), before);
    EXPECT_EQ(op::Status(), "Receive...");
}

TEST_F(Transfer, AFileThatCannotBeWrittenSaysSo) {
    const QString blocker = dir_.filePath("not-a-directory");
    WriteFile(blocker, "x");
    op::Click(panelHandle, PANEL_RBTFILE);
    QueueFileSelectAnswer(2, (blocker + "/para.cfg").toStdString());
    op::Click(panelHandle, PANEL_BTNSEND);
    EXPECT_EQ(op::Status(), "Error writing parameter-file - not saved!");
}

TEST_F(Transfer, TargetButtonsKeepExactlyOneOnAndFallBackToRam) {
    struct Row {
        const char* name;
        std::vector<int> clicks;
        int target;
        int ram, eeprom, file;
    } rows[] = {
        {"RAM clicked while on", {PANEL_RBTRAM}, RAM, 1, 0, 0},
        {"EEPROM on", {PANEL_RBTEEPROM}, EEPROM, 0, 1, 0},
        {"EEPROM switched off", {PANEL_RBTEEPROM, PANEL_RBTEEPROM}, RAM, 1, 0, 0},
        {"File on", {PANEL_RBTFILE}, DATFILE, 0, 0, 1},
        {"File switched off", {PANEL_RBTFILE, PANEL_RBTFILE}, RAM, 1, 0, 0},
        {"EEPROM then File", {PANEL_RBTEEPROM, PANEL_RBTFILE}, DATFILE, 0, 0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        op::Click(panelHandle, PANEL_RBTRAM);
        if (op::IntValue(panelHandle, PANEL_RBTRAM) == 0) op::Click(panelHandle, PANEL_RBTRAM);
        for (int radio : row.clicks)
            op::Click(panelHandle, radio);
        EXPECT_EQ(target, row.target);
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_RBTRAM), row.ram);
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_RBTEEPROM), row.eeprom);
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_RBTFILE), row.file);
    }
}

} // namespace
} // namespace evok
