// Moving the parameter set between the panels and the controller's RAM or EEPROM or a parameter
// file, as the operator does it with the target buttons, Send and Get; files that are not what
// they should be, and long and unusual paths.
#include "ground/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "runtime/timing.h"
#include "tests/support/support.h"

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

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
        EXPECT_EQ(op::Word(page1, 0), 1);
        for (int i = 1; i < 16; ++i)
            EXPECT_EQ(op::Word(page1, i), 0);
        // The 0.1 s pause between the pages, less what a loaded machine may take to notice the
        // first page's bytes (without the pause the pages are 19 ms apart).
        const double pause = sim::secondsBetween(requests[0].firstByte, requests[1].firstByte);
        EXPECT_GE(pause, 0.09);
        EXPECT_LT(pause, 0.3);
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
    EditPanels(65535, 3);
    FileAction(PANEL_BTNSEND, 2, File("plant.cfg"));
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
    FileAction(PANEL_BTN14, 1, File("plant.cfg"));
    EXPECT_EQ(DialogSettings(LastFileSelectCall()), settings + "30111");
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), 65535);
    EXPECT_EQ(op::IntValue(panelPopUp, POPUP_HOLD), 3);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_THRESHOLD1), 880);

    std::ofstream(File("not-a-directory")) << "x";
    FileAction(PANEL_BTNSEND, 2, File("not-a-directory") + "/para.cfg");
    EXPECT_EQ(op::Status(), "Error writing parameter-file - not saved!");
}

// A load takes the low 16 bits of positions 2 to 16, or nothing at all; it never stalls. (The
// param_file fuzz target's replayed corpus holds many more kinds of broken file.)
TEST_F(Transfer, LoadTakesTheWholeParameterSetOrNothing) {
    using Make = std::function<void(const std::string&)>;
    const auto text = [](std::string content) {
        return [content](const std::string& p) { std::ofstream(p, std::ios::binary) << content; };
    };
    const auto numbers = [](int count, const std::string& first) {
        std::string s = first + "\n";
        for (int i = 1; i < count; ++i)
            s += std::to_string(100 + i) + "\n";
        return s;
    };
    std::string odd = "99999\n70000\n";
    for (int i = 3; i <= 16; ++i)
        odd += std::to_string(i) + "\n";
    for (int i = 17; i <= 32; ++i)
        odd += "4000000000 ";
    const struct {
        const char* name;
        Make make; // null: no file
        int answer = 1;
        bool unreadable = false; // read with no permission
    } rows[] = {
        {"missing", nullptr},
        {"31 numbers", text(numbers(31, "0"))},
        {"not numbers", text("0 500 nine hundred 600 950")},
        {"far above 2^32", text(numbers(32, "99999999999999999999999"))},
        {"100 MB of digits",
         [](const std::string& p) {
             std::ofstream out(p, std::ios::binary);
             for (int i = 0; i < 100; ++i)
                 out << std::string(1 << 20, '7');
         }},
        {"a directory", [](const std::string& p) { fs::create_directory(p); }},
        {"no read permission",
         [&](const std::string& p) {
             text(numbers(32, "0"))(p);
             chmod(p.c_str(), 0);
         },
         1, true},
        {"cancelled", text(odd), 0},
        {"odd values", text(odd)},
    };
    chmod(dir_.path().toUtf8().constData(), 0755); // only the file itself keeps others out
    const std::vector<unsigned short> before = Parameters();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = File(row.name);
        if (row.make) row.make(path);
        EditPanels(1234, 5); // an edit not yet taken: replaced by the variables
        // Root reads everything: take a plain user's file access for the read.
        const bool drop = row.unreadable && geteuid() == 0;
        if (drop) setfsuid(65534);
        if (row.unreadable) {
            const int fd = open(path.c_str(), O_RDONLY);
            EXPECT_EQ(fd, -1) << "the file is readable after all";
            if (fd >= 0) close(fd);
        }
        const double start = Timer();
        FileAction(PANEL_BTN14, row.answer, path);
        const double seconds = Timer() - start;
        if (drop) setfsuid(0);
        EXPECT_LT(seconds, 0.5);
        const bool taken = std::string(row.name) == "odd values";
        const bool rejected = !taken && row.answer == 1;
        EXPECT_EQ(op::Status(),
                  rejected ? "Error reading parameter-file - not loaded!" : "Receive...");
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), taken ? 4464 : 520);
        if (!taken) {
            EXPECT_EQ(Parameters(), before);
        }
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
        EXPECT_EQ(op::Status(), "Receive...");

        QueueFileSelectAnswer(2, rec);
        op::Click(panelPopUp, POPUP_BTNRECFILE);
        op::Click(panelPopUp, POPUP_BTNSTOREDATA);
        std::ifstream in(rec);
        std::string header;
        std::getline(in, header);
        EXPECT_EQ(header, "E-VOK-VX12-RING-BUFFER-FILE: Actual index: 0");
    }
    EXPECT_GT(File(deep).size(), 260u);
}

TEST_F(Transfer, TargetButtonsKeepExactlyOneOnAndFallBackToRam) {
    const struct {
        std::vector<int> clicks;
        int target;
        std::string radios; // RAM, EEPROM, file
    } rows[] = {
        {{PANEL_RBTRAM}, RAM, "100"},
        {{PANEL_RBTEEPROM}, EEPROM, "010"},
        {{PANEL_RBTEEPROM, PANEL_RBTEEPROM}, RAM, "100"},
        {{PANEL_RBTFILE}, DATFILE, "001"},
        {{PANEL_RBTFILE, PANEL_RBTFILE}, RAM, "100"},
        {{PANEL_RBTEEPROM, PANEL_RBTFILE}, DATFILE, "001"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.clicks.size() * 100 + row.target);
        op::Click(panelHandle, PANEL_RBTRAM);
        if (op::IntValue(panelHandle, PANEL_RBTRAM) == 0) op::Click(panelHandle, PANEL_RBTRAM);
        for (int radio : row.clicks)
            op::Click(panelHandle, radio);
        EXPECT_EQ(target, row.target);
        std::string radios;
        for (int radio : {PANEL_RBTRAM, PANEL_RBTEEPROM, PANEL_RBTFILE})
            radios += std::to_string(op::IntValue(panelHandle, radio));
        EXPECT_EQ(radios, row.radios);
    }
}

} // namespace
} // namespace evok
