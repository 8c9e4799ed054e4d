// Moving the parameter set between the panels and the controller's RAM or EEPROM or a parameter
// file, as the operator does it with the target buttons, Send and Get; files that are not what
// they should be, and long and unusual paths.
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace evok {
namespace {

namespace fs = std::filesystem;

class Transfer : public op::ProgramWithSim {
protected:
    // Operator edits: powerA on the main panel, hold on para II.
    void EditPanels(int power, int holdValue) {
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, power);
        op::EnterNumber(panelPopUp, POPUP_HOLD, holdValue);
    }
    std::string File(const std::string& name) { return dir_.filePath(name.c_str()).toStdString(); }
    // The operator picks the file target and then Get or Send, answering the dialog.
    void FileAction(int button, int answer, const std::string& path) {
        if (target != DATFILE) op::Click(panelHandle, PANEL_RBTFILE);
        QueueFileSelectAnswer(answer, path);
        op::Click(panelHandle, button);
    }
    QTemporaryDir dir_;
};

std::string DialogSettings(const FileSelectCall& c) {
    std::ostringstream s;
    s << c.directory << "|" << c.fileName << "|" << c.filter << "|" << c.title << "|"
      << c.buttonLabel << c.restrictDirectory << c.restrictExtension << c.allowCancel
      << c.allowMakeDirectory;
    return s.str();
}

// The fifteen parameters as the variables hold them.
std::vector<unsigned short> Parameters() {
    CopyVarsToPP(0);
    return {pp + 1, pp + PNUM};
}

TEST_F(Transfer, SendWritesBothPagesToRamOrEepromButNotFromTheKeyboard) {
    const struct {
        int radio;
        std::uint16_t order;
        bool eeprom;
    } rows[] = {{PANEL_RBTRAM, 1, false}, {PANEL_RBTEEPROM, 3, true}};
    for (const auto& row : rows) {
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
        const sim::Bytes page0 = requests[0].bytes, page1 = requests[1].bytes;
        EXPECT_EQ((std::vector{op::Word(page0, 0), op::Word(page0, 1), op::Word(page0, 7)}),
                  (std::vector<std::uint16_t>{0, 1111, 77}));
        EXPECT_EQ(page1, op::Frame(row.order, {1}));
        // The 0.1 s pause between the pages, less what a loaded machine may take to notice the
        // first page's bytes (without the pause the pages are 19 ms apart).
        const double pause = sim::secondsBetween(requests[0].firstByte, requests[1].firstByte);
        EXPECT_GE(pause, 0.09);
        EXPECT_LT(pause, 0.3);
        EXPECT_EQ(op::Status(), kTextTransmitOk);
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
    EXPECT_EQ(op::Status(), kTextParaReceived);
}

TEST_F(Transfer, FileSavedFromThePanelsLoadsBackTheSameValues) {
    EditPanels(65535, 3);
    FileAction(PANEL_BTNSEND, 2, File("plant.cfg"));
    EXPECT_EQ(op::Status(), kTextTransmit);
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
    FileAction(PANEL_BTN14, 1, File("plant.cfg"));
    EXPECT_EQ(DialogSettings(LastFileSelectCall()), settings + "30111");
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), 65535);
    EXPECT_EQ(op::IntValue(panelPopUp, POPUP_HOLD), 3);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_THRESHOLD1), 880);

    std::ofstream(File("not-a-directory")) << "x";
    FileAction(PANEL_BTNSEND, 2, File("not-a-directory") + "/para.cfg");
    EXPECT_EQ(op::Status(), kTextParaFileNotSaved);
}

// A load takes the low 16 bits of positions 2 to 16, or nothing at all. (The param_file fuzz
// target's replayed corpus holds many more kinds of broken file and number.)
TEST_F(Transfer, LoadTakesTheWholeParameterSetOrNothing) {
    std::string odd = "99999\n70000\n", shortFile = "0\n";
    for (int i = 3; i <= 16; ++i)
        odd += std::to_string(i) + "\n";
    for (int i = 17; i <= 32; ++i)
        odd += "4000000000 ";
    for (int i = 2; i <= 31; ++i)
        shortFile += std::to_string(100 + i) + "\n";
    const struct {
        const char* name;
        std::string content; // "": no file, "/": a directory
        int answer;
    } rows[] = {{"missing", "", 1},
                {"31 numbers", shortFile, 1},
                {"a directory", "/", 1},
                {"cancelled", odd, 0},
                {"odd values", odd, 1}};
    const std::vector<unsigned short> before = Parameters();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = File(row.name);
        if (row.content == "/")
            fs::create_directory(path);
        else if (!row.content.empty())
            std::ofstream(path) << row.content;
        EditPanels(1234, 5); // an edit not yet taken: replaced by the variables
        FileAction(PANEL_BTN14, row.answer, path);
        const bool taken = std::string(row.name) == "odd values";
        EXPECT_EQ(op::Status(), !taken && row.answer ? kTextParaFileNotLoaded : kTextReceive);
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), taken ? 4464 : 520);
        EXPECT_TRUE(taken || Parameters() == before);
    }
    EXPECT_EQ(thd1, 3);
    EXPECT_EQ(maxmode, 16);
}

// Paths with spaces, other scripts and more than 260 characters work for both file kinds.
TEST_F(Transfer, LongAndUnusualPathsWorkForBothFileKinds) {
    std::string deep = "Prüfstand – Linie 3/";
    while (deep.size() < 300)
        deep += "Unterordner mit Leerzeichen/";
    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    for (const std::string& d : {std::string("with spaces"), std::string("Ωμέγα 測定 ä"), deep}) {
        SCOPED_TRACE(d);
        fs::create_directories(File(d));
        const std::string cfg = File(d + "/Parameter Satz ö.cfg"), rec = File(d + "/Ring ü.dat");
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, 4242);
        FileAction(PANEL_BTNSEND, 2, cfg);
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, 1);
        FileAction(PANEL_BTN14, 1, cfg);
        EXPECT_EQ(powerA, 4242);
        EXPECT_EQ(op::Status(), kTextReceive);

        QueueFileSelectAnswer(2, rec);
        op::Click(panelPopUp, POPUP_BTNRECFILE);
        op::Click(panelPopUp, POPUP_BTNSTOREDATA);
        const std::string stored = op::FileBytes(rec);
        EXPECT_TRUE(stored.starts_with("E-VOK-VX12-RING-BUFFER-FILE: Actual index: 0\n")) << stored;
    }
    EXPECT_GT(File(deep).size(), 260u);
}

TEST_F(Transfer, TargetButtonsKeepExactlyOneOnAndFallBackToRam) {
    // Clicks from RAM on (R, E, F: the RAM, EEPROM and file buttons), then the target and the
    // buttons that are on.
    const int radios[] = {PANEL_RBTRAM, PANEL_RBTEEPROM, PANEL_RBTFILE};
    for (const std::string row : {"R RAM 100", "E EEPROM 010", "EE RAM 100", "F DATFILE 001",
                                  "FF RAM 100", "EF DATFILE 001"}) {
        SCOPED_TRACE(row);
        op::Click(panelHandle, PANEL_RBTRAM);
        if (op::IntValue(panelHandle, PANEL_RBTRAM) == 0) op::Click(panelHandle, PANEL_RBTRAM);
        for (std::size_t i = 0; row[i] != ' '; ++i)
            op::Click(panelHandle, radios[std::string("REF").find(row[i])]);
        std::string shown;
        for (int radio : radios)
            shown += std::to_string(op::IntValue(panelHandle, radio));
        const char* names[] = {"?", "RAM", "EEPROM", "DATFILE"}; // by target
        EXPECT_EQ(row.substr(row.find(' ') + 1), names[target] + (" " + shown));
    }
}

} // namespace
} // namespace evok
