// Moving the parameter set between the panels and the controller's RAM or EEPROM or a parameter
// file, as the operator does it with the target buttons, Send and Get.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QTemporaryDir>

#include <fstream>
#include <sstream>

namespace evok {
namespace {

class Transfer : public op::ProgramWithSim {
protected:
    // Operator edits: powerA on the main panel, hold on para II.
    void EditPanels(int power, int holdValue) {
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, power);
        op::EnterNumber(panelPopUp, POPUP_HOLD, holdValue);
    }
    std::string File(const char* name) { return dir_.filePath(name).toStdString(); }
    QTemporaryDir dir_;
};

std::string DialogSettings(const FileSelectCall& c) {
    std::ostringstream s;
    s << c.directory << "|" << c.fileName << "|" << c.filter << "|" << c.title << "|"
      << c.buttonLabel << c.restrictDirectory << c.restrictExtension << c.allowCancel
      << c.allowMakeDirectory;
    return s.str();
}

TEST_F(Transfer, SendWritesBothPagesToRamOrEepromButNotFromTheKeyboard) {
    struct Row {
        int radio;
        std::uint16_t order;
        bool eeprom;
    } rows[] = {{PANEL_RBTRAM, 1, false}, {PANEL_RBTEEPROM, 3, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.order);
        if (op::IntValue(panelHandle, row.radio) == 0) op::Click(panelHandle, row.radio);
        EditPanels(1111, 77);
        ClearRequests();
        op::PressSpace(panelHandle, PANEL_BTNSEND); // commit alone sends nothing
        op::Pump(0.2);
        EXPECT_EQ(sim_->model().requestCount(), 0u);
        op::Click(panelHandle, PANEL_BTNSEND);
        op::Pump(0.2);
        const std::vector<sim::RequestRecord> requests = sim_->model().requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(Orders(), (std::vector<std::uint16_t>{row.order, row.order}));
        EXPECT_EQ(op::Word(requests[0].bytes, 0), 0);
        EXPECT_EQ(op::Word(requests[0].bytes, 1), 1111);
        EXPECT_EQ(op::Word(requests[0].bytes, 7), 77);
        EXPECT_EQ(op::Word(requests[1].bytes, 0), 1);
        for (int i = 1; i < 16; ++i)
            EXPECT_EQ(op::Word(requests[1].bytes, i), 0);
        // The 0.1 s pause between the pages, less what a loaded machine may take to notice the
        // first page's bytes (without the pause the pages are 19 ms apart).
        EXPECT_GE(sim::secondsBetween(requests[0].firstByte, requests[1].firstByte), 0.09);
        EXPECT_EQ(op::Status(), "Transmit para Ok!");
        const sim::Parameters stored =
            row.eeprom ? sim_->model().eepromParameters() : sim_->model().ramParameters();
        EXPECT_EQ(stored[0], 1111);
        EXPECT_EQ(stored[6], 77);
    }
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
    EXPECT_EQ(op::TextValue(panelHandle, PANEL_TXT_TRIGMODE), "EXT-IN0-HIGH (cont.)");
    EXPECT_EQ(op::Status(), "Parameter-frame received! - Line Ok!");
}

TEST_F(Transfer, FileSavedFromThePanelsLoadsBackTheSameValues) {
    op::Click(panelHandle, PANEL_RBTFILE);
    ASSERT_EQ(target, DATFILE);
    EditPanels(65535, 3);
    QueueFileSelectAnswer(2, File("plant.cfg"));
    op::Click(panelHandle, PANEL_BTNSEND);
    EXPECT_EQ(op::Status(), "Transmit...");
    const std::string settings =
        std::string(proj_dir) + "|VX12para.cfg|*.cfg|E-VOK-VX12 Parameter File|";
    EXPECT_EQ(DialogSettings(LastFileSelectCall()), settings + "00111");

    // 32 numbers, five characters wide, one per line: page 0, then page 1.
    std::ifstream in(File("plant.cfg"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 32u);
    for (const std::string& line : lines)
        EXPECT_EQ(line.size(), 5u) << "'" << line << "'";
    EXPECT_EQ(lines[0] + lines[1] + lines[7] + lines[16], "    065535    3    1");

    EditPanels(1, 1);
    QueueFileSelectAnswer(1, File("plant.cfg"));
    op::Click(panelHandle, PANEL_BTN14);
    EXPECT_EQ(DialogSettings(LastFileSelectCall()), settings + "30111");
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), 65535);
    EXPECT_EQ(op::IntValue(panelPopUp, POPUP_HOLD), 3);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_THRESHOLD1), 880);
}

TEST_F(Transfer, LoadTakesTheLow16BitsOfPositions2To16OrNothingAtAll) {
    std::string odd = "99999\n70000\n";
    for (int i = 3; i <= 16; ++i)
        odd += std::to_string(i) + "\n";
    for (int i = 17; i <= 32; ++i)
        odd += "4000000000 ";
    struct Row {
        const char* name;
        const char* content; // null: no file
        int answer;
        int powerA;
        const char* status;
    } rows[] = {
        {"cancelled", "", 0, 520, "Receive..."},
        {"missing", nullptr, 1, 520, "Error reading parameter-file - not loaded!"},
        {"empty", "", 1, 520, "Error reading parameter-file - not loaded!"},
        {"31 numbers",
         "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 "
         "27 28 29 30",
         1, 520, "Error reading parameter-file - not loaded!"},
        {"not numbers", "0 500 nine hundred 600 950", 1, 520,
         "Error reading parameter-file - not loaded!"},
        {"odd values", odd.c_str(), 1, 4464, "Receive..."},
    };
    op::Click(panelHandle, PANEL_RBTFILE);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = File(row.name);
        if (row.content) std::ofstream(path) << row.content;
        EditPanels(1234, 5); // an edit not yet taken: replaced by the variables
        QueueFileSelectAnswer(row.answer, path);
        op::Click(panelHandle, PANEL_BTN14);
        EXPECT_EQ(powerA, row.powerA);
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), row.powerA);
        EXPECT_EQ(op::Status(), row.status);
        if (row.powerA == 4464) {
            EXPECT_EQ(thd1, 3);
            EXPECT_EQ(maxmode, 16);
        }
    }
}

TEST_F(Transfer, AFileThatCannotBeWrittenSaysSo) {
    std::ofstream(File("not-a-directory")) << "x";
    op::Click(panelHandle, PANEL_RBTFILE);
    QueueFileSelectAnswer(2, File("not-a-directory") + "/para.cfg");
    op::Click(panelHandle, PANEL_BTNSEND);
    EXPECT_EQ(op::Status(), "Error writing parameter-file - not saved!");
}

TEST_F(Transfer, TargetButtonsKeepExactlyOneOnAndFallBackToRam) {
    struct Row {
        std::vector<int> clicks;
        int target;
        int ram, eeprom, file;
    } rows[] = {
        {{PANEL_RBTRAM}, RAM, 1, 0, 0},
        {{PANEL_RBTEEPROM}, EEPROM, 0, 1, 0},
        {{PANEL_RBTEEPROM, PANEL_RBTEEPROM}, RAM, 1, 0, 0},
        {{PANEL_RBTFILE}, DATFILE, 0, 0, 1},
        {{PANEL_RBTFILE, PANEL_RBTFILE}, RAM, 1, 0, 0},
        {{PANEL_RBTEEPROM, PANEL_RBTFILE}, DATFILE, 0, 0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.clicks.size() * 100 + row.target);
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
