// Where the files the operator writes go, and that a parameter file is replaced whole or not at
// all: an installed program's directory is not writable for a plain user.
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "runtime/files.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace evok {
namespace {

namespace fs = std::filesystem;

// Saves the panels' parameter set to `path` with Send (the file target chosen before).
void SaveParameters(const std::string& path) {
    QueueFileSelectAnswer(2, path);
    op::Click(panelHandle, PANEL_BTNSEND);
}

class OperatorFiles : public op::ProgramWithSim {
protected:
    void SetUp() override {
        scratch_ = fs::temp_directory_path() / ("evok-files-" + std::to_string(getpid()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_ / "home");
        fs::permissions(scratch_, fs::perms::all);
        fs::permissions(scratch_ / "home", fs::perms::all);
        // The installed tree: panel description and bitmaps in a directory nobody may write.
        char here[kPathMax];
        GetProjectDir(here, sizeof here);
        fs::create_directories(scratch_ / "lib");
        for (const char* name : {"EVOKVX12TWATCHV11.uir", "talvor.bmp"})
            fs::copy_file(fs::path(here) / name, scratch_ / "lib" / name);
        fs::permissions(scratch_ / "lib", fs::perms(0555));
        oldHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", (scratch_ / "home").c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        SetProgramDirectoryForTesting((scratch_ / "lib").string());
        // Root writes everywhere: take a plain user's file access, as an installed program has.
        if (geteuid() == 0) setfsuid(65534);
        op::ProgramWithSim::SetUp();
    }
    void TearDown() override {
        op::ProgramWithSim::TearDown();
        if (geteuid() == 0) setfsuid(0);
        SetProgramDirectoryForTesting("");
        setenv("HOME", oldHome_.c_str(), 1);
        fs::permissions(scratch_ / "lib", fs::perms::all);
        fs::remove_all(scratch_);
    }
    fs::path scratch_;
    std::string oldHome_;
};

TEST_F(OperatorFiles, AReadOnlyProgramDirectorySendsSavesAndRecordsToTheDocumentsFolder) {
    const fs::path documents = scratch_ / "home" / "Documents";
    EXPECT_EQ(fs::path(proj_dir), documents);
    EXPECT_EQ(fs::path(recfile_name), documents / "EVokRecord.dat");
    EXPECT_EQ(op::TextValue(panelPopUp, POPUP_RECFILENAME),
              (documents / "EVokRecord.dat").string());

    op::Click(panelHandle, PANEL_RBTFILE);
    SaveParameters((documents / "VX12para.cfg").string());
    EXPECT_EQ(LastFileSelectCall().directory, documents.string());
    EXPECT_EQ(op::Status(), kTextTransmit);
    EXPECT_TRUE(fs::exists(documents / "VX12para.cfg"));

    op::Click(panelPopUp, POPUP_BTNSTOREDATA);
    EXPECT_EQ(op::FileBytes(documents / "EVokRecord.dat").rfind("E-VOK-VX12-RING-BUFFER-FILE: ", 0),
              0u);
    QueueFileSelectAnswer(0, "");
    op::Click(panelPopUp, POPUP_BTNRECFILE);
    EXPECT_EQ(LastFileSelectCall().directory, documents.string());
}

TEST_F(OperatorFiles, ASaveThatFailsHalfWayKeepsTheOldParameterFile) {
    const std::string path = (scratch_ / "home" / "VX12para.cfg").string();
    op::Click(panelHandle, PANEL_RBTFILE);
    SaveParameters(path);
    const std::string before = op::FileBytes(path);
    ASSERT_EQ(before.size(), 192u);

    op::EnterNumber(panelHandle, PANEL_NUM_POWERA, 4321);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = 100; // the new file stops after 100 of its 192 bytes
    setrlimit(RLIMIT_FSIZE, &limited);
    SaveParameters(path);
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(op::Status(), kTextParaFileNotSaved);
    EXPECT_EQ(op::FileBytes(path), before);
    int files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch_ / "home"))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1) << "a scrap file is left beside the parameter file";
}

} // namespace
} // namespace evok
