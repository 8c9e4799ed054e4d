// Files that are not what they should be, chosen by the operator as a parameter file: nothing of
// the parameter set changes, the status line says so, and the program does not stall on them.
// And both file kinds under long and unusual paths.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/testing.h"
#include "runtime/timing.h"
#include "tests/support/support.h"
#include "views/datablock.h"

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace evok {
namespace {

namespace fs = std::filesystem;

// The whole parameter set as the variables hold it: both pages.
std::vector<unsigned short> ParameterSet() {
    std::vector<unsigned short> set;
    for (unsigned short page = 0; page < 2; ++page) {
        CopyVarsToPP(page);
        set.insert(set.end(), pp + 1, pp + PNUM);
    }
    return set;
}

std::string Numbers(int count, const std::string& replaceFirst = "") {
    std::string text = replaceFirst.empty() ? "" : replaceFirst + "\n";
    for (int i = replaceFirst.empty() ? 0 : 1; i < count; ++i)
        text += std::to_string(100 + i) + "\n";
    return text;
}

class HostileFiles : public op::ProgramWithSim {
protected:
    std::string Path(const std::string& name) const { return (root_ / name).string(); }
    // Loads `path` through the Get button with the file target; returns the seconds it took.
    double Load(const std::string& path) {
        if (target != DATFILE) op::Click(panelHandle, PANEL_RBTFILE);
        QueueFileSelectAnswer(1, path);
        const double start = Timer();
        op::Click(panelHandle, PANEL_BTN14);
        return Timer() - start;
    }
    QTemporaryDir dir_;
    fs::path root_ = dir_.path().toStdString();
};

TEST_F(HostileFiles, ChangeNothingSayWhyAndDoNotStall) {
    struct Row {
        const char* name;
        std::function<std::string(const std::string&)> make; // creates the file, returns path
        bool unreadable = false;                             // read with no permission
    };
    auto text = [this](const std::string& name, const std::string& content) {
        std::ofstream(Path(name), std::ios::binary) << content;
        return Path(name);
    };
    const Row rows[] = {
        {"empty", [&](auto n) { return text(n, ""); }},
        {"binary",
         [&](auto n) {
             std::mt19937 rng(5);
             std::string bytes(4096, '\0');
             for (char& c : bytes)
                 c = static_cast<char>(rng());
             return text(n, bytes);
         }},
        {"100 MB of digits",
         [&](auto n) {
             std::ofstream out(Path(n), std::ios::binary);
             const std::string block(1 << 20, '7');
             for (int i = 0; i < 100; ++i)
                 out << block;
             return Path(n);
         }},
        {"100 MB of zero bytes",
         [&](auto n) {
             fs::path p = Path(n);
             std::ofstream(p).close();
             fs::resize_file(p, 100u << 20);
             return p.string();
         }},
        {"negative numbers", [&](auto n) { return text(n, Numbers(32, "-1")); }},
        {"31 numbers", [&](auto n) { return text(n, Numbers(31)); }},
        {"2^32", [&](auto n) { return text(n, Numbers(32, "4294967296")); }},
        {"far above 2^32", [&](auto n) { return text(n, Numbers(32, "99999999999999999999999")); }},
        {"a directory",
         [&](auto n) {
             fs::create_directory(Path(n));
             return Path(n);
         }},
        {"no read permission",
         [&](auto n) {
             const std::string p = text(n, Numbers(32));
             chmod(p.c_str(), 0);
             return p;
         },
         true},
    };
    chmod(root_.c_str(), 0755); // only the file itself keeps others out
    const std::vector<unsigned short> before = ParameterSet();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = row.make(row.name);
        // Root reads everything: take a plain user's file access for the read.
        const bool drop = row.unreadable && geteuid() == 0;
        if (drop) setfsuid(65534);
        if (row.unreadable) {
            const int fd = open(path.c_str(), O_RDONLY);
            EXPECT_EQ(fd, -1) << "the file is readable after all";
            if (fd >= 0) close(fd);
        }
        const double seconds = Load(path);
        if (drop) setfsuid(0);
        EXPECT_EQ(ParameterSet(), before);
        EXPECT_EQ(op::Status(), "Error reading parameter-file - not loaded!");
        EXPECT_LT(seconds, 0.5);
    }
    // A good file after all that still loads.
    std::ofstream(Path("good")) << Numbers(32);
    Load(Path("good"));
    EXPECT_EQ(powerA, 101);
    EXPECT_EQ(op::Status(), "Receive...");
}

// Paths with spaces, other scripts and more than 260 characters work for both file kinds.
TEST_F(HostileFiles, LongAndUnusualPathsWorkForBothFileKinds) {
    std::string deep = "Prüfstand – Linie 3/";
    while (deep.size() < 300)
        deep += "Unterordner mit Leerzeichen/";
    const std::string dirs[] = {"plain", "with spaces", "Ωμέγα 測定 ä", deep};
    op::Click(panelHandle, PANEL_TOGBTNPARAII);
    op::Click(panelHandle, PANEL_RBTFILE);
    for (const std::string& d : dirs) {
        SCOPED_TRACE(d);
        fs::create_directories(root_ / d);
        const std::string cfg = (root_ / d / "Parameter Satz ö.cfg").string();
        const std::string rec = (root_ / d / "Ring Puffer ü.dat").string();

        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, 4242);
        QueueFileSelectAnswer(2, cfg);
        op::Click(panelHandle, PANEL_BTNSEND);
        op::EnterNumber(panelHandle, PANEL_NUM_POWERA, 1);
        QueueFileSelectAnswer(1, cfg);
        op::Click(panelHandle, PANEL_BTN14);
        EXPECT_EQ(powerA, 4242);
        EXPECT_EQ(op::Status(), "Receive...");

        QueueFileSelectAnswer(2, rec);
        op::Click(panelPopUp, POPUP_BTNRECFILE);
        op::Click(panelPopUp, POPUP_BTNSTOREDATA);
        std::ifstream in(rec);
        std::string header;
        std::getline(in, header);
        EXPECT_EQ(header, "E-VOK-VX12-RING-BUFFER-FILE: Actual index: 0");
        EXPECT_EQ(op::TextValue(panelPopUp, POPUP_RECFILENAME), rec);
    }
    EXPECT_GT((root_ / deep).string().size(), 260u);
}

} // namespace
} // namespace evok
