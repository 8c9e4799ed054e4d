// The ring-buffer record file as the operator makes it: choosing the file on the para II panel
// (answered through the dialog seam), storing before and after a ring-buffer read, and stores
// that cannot be written.
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "runtime/testing.h"
#include "tests/support/support.h"
#include "views/datablock.h"

#include <QTemporaryDir>

#include <array>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <numeric>

#include <sys/resource.h>

namespace evok {
namespace {

using Words = std::vector<std::uint16_t>;
namespace fs = std::filesystem;

// What a record file holds for these 256 words: header, index (word 255), values 0..254.
std::string Record(const Words& words) {
    std::string text =
        "E-VOK-VX12-RING-BUFFER-FILE: Actual index: " + std::to_string(words.at(255));
    for (int i = 0; i < 255; ++i)
        text += "\n" + std::to_string(words.at(i));
    return text + "\n";
}

class RecordFile : public op::ProgramWithSim {
protected:
    void SetUp() override {
        op::ProgramWithSim::SetUp();
        if (!HasFatalFailure()) op::Click(panelHandle, PANEL_TOGBTNPARAII);
    }
    std::string Path(const std::string& name) const {
        return dir_.path().toStdString() + "/" + name;
    }
    // The operator chooses `path` in the file dialog, which reports `answer`.
    static void Choose(int answer, const std::string& path) {
        QueueFileSelectAnswer(answer, path);
        op::Click(panelPopUp, POPUP_BTNRECFILE);
    }
    static void Store() { op::Click(panelPopUp, POPUP_BTNSTOREDATA); }
    QTemporaryDir dir_;
};

// The record holds the ring buffer the last read fetched; the dialog then chooses where the next
// one goes.
TEST_F(RecordFile, HoldsTheLastRingReadWhereTheDialogChose) {
    std::string current = Path("ring.dat");
    Choose(2, current);
    Store();
    EXPECT_EQ(op::FileBytes(current), Record(Words(256, 0)))
        << "before any read: index 0 and 255 zeros";
    sim::RingBuffer ring;
    std::iota(ring.values.begin(), ring.values.end(), 40000); // above 32767
    ring.index = 200;
    sim_->model().setRing(ring);
    op::Click(panelPopUp, POPUP_BTNGETDATA);
    ring = sim_->model().ring();
    Words words(ring.values.begin(), ring.values.end());
    words.push_back(ring.index);
    Store();
    Store(); // rewrites the file; it does not add to it
    EXPECT_EQ(op::FileBytes(current), Record(words));
    yArrayA[kRingIndexWord] = 65535;
    Store();
    const std::string stored = op::FileBytes(current);
    EXPECT_EQ(stored.substr(0, 49), "E-VOK-VX12-RING-BUFFER-FILE: Actual index: 65535\n");

    for (int answer : {2, 1, 0}) { // a new name, an existing file, cancelled
        SCOPED_TRACE(answer);
        const std::string chosen = Path(std::to_string(answer) + ".dat");
        if (answer != 2) std::ofstream(chosen) << "an older record\n";
        Choose(answer, chosen);
        const FileSelectCall& c = LastFileSelectCall();
        EXPECT_EQ((std::array<std::string, 4>{c.directory, c.fileName, c.filter, c.title}),
                  (std::array<std::string, 4>{proj_dir, "EVOKrecord.dat", "*.dat",
                                              "E-VOK-Series Recorder-File:"}));
        EXPECT_EQ((std::array{c.buttonLabel, c.restrictDirectory, c.restrictExtension,
                              c.allowCancel, c.allowMakeDirectory}),
                  (std::array{0, 0, 1, 1, 1}));
        if (answer != 0) current = chosen;
        EXPECT_EQ(op::TextValue(panelPopUp, POPUP_RECFILENAME), current);
        EXPECT_EQ(fs::exists(chosen), answer == 0) << "an existing choice is deleted at once";
        EXPECT_EQ(op::FileBytes(Path("ring.dat")), stored) << "nothing else is deleted";
    }
    Store();
    EXPECT_EQ(op::FileBytes(current), stored);
}

TEST_F(RecordFile, AStoreThatCannotBeWrittenKeepsTheOldRecordAndSaysSo) {
    const std::string good = Path("good.dat");
    Choose(2, good);
    Store();
    const std::string old = op::FileBytes(good);
    std::fill(yArrayA, yArrayA + kDataLen, 9000); // what a store would write now
    rlimit room{}, full{};
    getrlimit(RLIMIT_FSIZE, &room);
    full = {100, room.rlim_max};   // a full disk: the header and the index fit, the values do not
    std::signal(SIGXFSZ, SIG_IGN); // writes past the limit fail with EFBIG instead
    for (const std::string& path : {good, Path("missing/record.dat")}) {
        SCOPED_TRACE(path);
        ShowStatus("ready");
        Choose(2, path);
        setrlimit(RLIMIT_FSIZE, path == good ? &full : &room);
        Store();
        setrlimit(RLIMIT_FSIZE, &room);
        EXPECT_EQ(op::Status(), kTextRecordNotStored);
        EXPECT_EQ(op::FileBytes(good), old);
        // Nothing half-written is left behind.
        EXPECT_EQ(std::distance(fs::directory_iterator(Path(".")), fs::directory_iterator()), 1);
    }
}

} // namespace
} // namespace evok
