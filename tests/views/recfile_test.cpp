// The ring-buffer record file as the operator makes it: choosing the file on the para II panel
// (answered through the dialog seam), storing before and after ring-buffer reads, and stores that
// cannot be written.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "runtime/testing.h"
#include "tests/support/operator.h"
#include "tests/support/program.h"
#include "views/datablock.h"
#include "views/recfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace evok {
namespace {

using Words = std::vector<std::uint16_t>;

const std::string kHeader = "E-VOK-VX12-RING-BUFFER-FILE: Actual index: ";
const std::string kWriteError = "Error writing record-file - not stored!";

// What a record file holds for these 256 words: header, index (word 255), values 0..254.
std::string Record(const Words& words) {
    std::string text = kHeader + std::to_string(words.at(255)) + "\n";
    for (int i = 0; i < 255; ++i)
        text += std::to_string(words.at(i)) + "\n";
    return text;
}

Words Current() {
    return Words(yArrayA, yArrayA + kDataLen);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Exists(const std::string& path) {
    return QFile::exists(QString::fromStdString(path));
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

class RecordFile : public op::ProgramWithSim {
protected:
    void SetUp() override {
        op::ProgramWithSim::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(dir_.isValid());
        op::Click(panelHandle, PANEL_TOGBTNPARAII);
        ASSERT_TRUE(PanelWidget(panelPopUp)->isVisible());
    }
    std::string Path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    // The operator chooses `path` in the dialog; the dialog reports `answer`.
    static void Choose(int answer, const std::string& path) {
        QueueFileSelectAnswer(answer, path);
        op::Click(panelPopUp, POPUP_BTNRECFILE);
    }
    static void Store() { op::Click(panelPopUp, POPUP_BTNSTOREDATA); }
    static std::string Shown() { return op::TextValue(panelPopUp, POPUP_RECFILENAME); }

    QTemporaryDir dir_;
};

TEST_F(RecordFile, BeforeAnyReadHoldsIndexZeroAndZeros) {
    const std::string path = Path("first.dat");
    Choose(2, path);
    const std::string status = op::Status();
    ClearRequests();
    Store();

    std::string expected = kHeader + "0\n";
    for (int i = 0; i < 255; ++i)
        expected += "0\n";
    EXPECT_EQ(ReadAll(path), expected);
    EXPECT_EQ(Shown(), path);
    EXPECT_EQ(op::Status(), status);
    EXPECT_TRUE(Orders().empty()) << "storing talks to no controller";
}

TEST_F(RecordFile, HoldsTheRingBufferTheLastReadFetched) {
    sim::RingBuffer ring;
    for (std::size_t i = 0; i < ring.values.size(); ++i)
        ring.values[i] = static_cast<std::uint16_t>(40000 + i * 263); // above 32767, wrapping
    ring.index = 200;
    sim_->model().setRing(ring);
    op::Click(panelPopUp, POPUP_BTNGETDATA);
    ring = sim_->model().ring();
    Words words(ring.values.begin(), ring.values.end());
    words.push_back(ring.index);
    ASSERT_EQ(Current(), words);

    const std::string path = Path("ring.dat");
    Choose(2, path);
    Store();
    EXPECT_EQ(ReadAll(path), Record(words));
    // A second store rewrites the file; it does not add to it.
    Store();
    EXPECT_EQ(ReadAll(path), Record(words));

    // A curve read afterwards replaces values 0..127 only; the rest and the index stay.
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    op::Click(panelHandle, PANEL_BTNDATA);
    const auto curve = sim_->model().dataArray(0);
    std::copy(curve.begin(), curve.begin() + 128, words.begin());
    Store();
    EXPECT_EQ(ReadAll(path), Record(words));
}

TEST_F(RecordFile, IndexAndValuesAreWrittenUnsigned) {
    for (int i = 0; i < kDataLen; ++i)
        yArrayA[i] = static_cast<unsigned short>(65535 - i);
    yArrayA[kRingIndexWord] = 65535;
    const std::string path = Path("max.dat");
    Choose(2, path);
    Store();
    const std::string content = ReadAll(path);
    EXPECT_EQ(content.substr(0, content.find('\n')), kHeader + "65535");
    EXPECT_EQ(content, Record(Current()));
}

TEST_F(RecordFile, DialogChoosesTheFileAndDeletesOnlyAnExistingChoice) {
    struct Row {
        const char* name;
        int answer; // -1: no answer, the dialog cannot be shown
        bool chosenExists;
        bool adopted;
        bool chosenExistsAfter;
    } rows[] = {
        {"new name", 2, false, true, false},
        {"existing file", 1, true, true, false},
        {"cancelled", 0, true, false, true},
        {"dialog not shown", -1, true, false, true},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // A record stored at the current path before the dialog opens.
        const std::string before = Path("before" + std::to_string(n) + ".dat");
        const std::string chosen = Path("chosen" + std::to_string(n) + ".dat");
        ++n;
        Choose(2, before);
        ASSERT_EQ(std::string(recfile_name), before);
        yArrayA[0] = static_cast<unsigned short>(n);
        Store();
        const std::string beforeContent = ReadAll(before);
        ASSERT_EQ(beforeContent, Record(Current()));
        if (row.chosenExists) WriteFile(chosen, "an older record\n");

        const int calls = FileSelectCallCount();
        if (row.answer >= 0) QueueFileSelectAnswer(row.answer, chosen);
        op::Click(panelPopUp, POPUP_BTNRECFILE);
        ASSERT_EQ(FileSelectCallCount(), calls + 1);
        EXPECT_EQ(PendingFileSelectAnswers(), 0);

        const FileSelectCall& call = LastFileSelectCall();
        EXPECT_EQ(call.directory, std::string(proj_dir));
        EXPECT_EQ(call.fileName, "EVOKrecord.dat");
        EXPECT_EQ(call.filter, "*.dat");
        EXPECT_EQ(call.title, "E-VOK-Series Recorder-File:");
        EXPECT_EQ(call.buttonLabel, 0);
        EXPECT_EQ(call.restrictDirectory, 0);
        EXPECT_EQ(call.restrictExtension, 1);
        EXPECT_EQ(call.allowCancel, 1);
        EXPECT_EQ(call.allowMakeDirectory, 1);

        const std::string now = row.adopted ? chosen : before;
        EXPECT_EQ(std::string(recfile_name), now);
        EXPECT_EQ(Shown(), now);
        EXPECT_EQ(Exists(chosen), row.chosenExistsAfter);
        // The record stored before is never touched by the dialog.
        EXPECT_EQ(ReadAll(before), beforeContent);

        // The next store goes where the panel says.
        yArrayA[1] = 4321;
        Store();
        EXPECT_EQ(ReadAll(now), Record(Current()));
        if (row.adopted) {
            EXPECT_EQ(ReadAll(before), beforeContent);
        } else if (row.chosenExists) {
            EXPECT_EQ(ReadAll(chosen), "an older record\n");
        }
    }
}

// The file-size limit stands in for a full disk; writes past it fail with EFBIG instead of
// raising SIGXFSZ while this object lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return ok_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool ok_ = false;
};

TEST_F(RecordFile, AStoreThatCannotBeWrittenKeepsTheOldRecordAndSaysSo) {
    for (int i = 0; i < kDataLen; ++i)
        yArrayA[i] = static_cast<unsigned short>(i + 1);
    const std::string good = Path("good.dat");
    Choose(2, good);
    Store();
    const std::string oldRecord = ReadAll(good);
    ASSERT_EQ(oldRecord, Record(Current()));
    // New data that a successful store would write.
    for (int i = 0; i < kDataLen; ++i)
        yArrayA[i] = static_cast<unsigned short>(9000 + i);

    const std::string regularFile = Path("not-a-directory");
    WriteFile(regularFile, "plain file\n");
    struct Row {
        const char* name;
        std::string path; // chosen as a new name; empty: the record file stays good.dat
        bool diskFull;
    } rows[] = {
        {"disk full while writing over the old record", "", true},
        {"directory does not exist", Path("missing/record.dat"), false},
        {"parent is a regular file", regularFile + "/record.dat", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShowStatus("ready");
        if (!row.path.empty()) Choose(2, row.path);
        ASSERT_EQ(Shown(), row.path.empty() ? good : row.path);
        if (row.diskFull) {
            FileSizeLimit limit(100); // the header and the index fit, the values do not
            ASSERT_TRUE(limit.ok());
            Store();
        } else {
            Store();
        }
        EXPECT_EQ(op::Status(), kWriteError);
        EXPECT_EQ(ReadAll(good), oldRecord);
        EXPECT_EQ(ReadAll(regularFile), "plain file\n");
        EXPECT_FALSE(QDir(dir_.filePath("missing")).exists());
        // Nothing half-written is left behind.
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
                  (QStringList{"good.dat", "not-a-directory"}));
    }

    // Once the disk has room again the same store succeeds.
    Choose(1, good);
    EXPECT_FALSE(Exists(good));
    ShowStatus("ready");
    Store();
    EXPECT_EQ(ReadAll(good), Record(Current()));
    EXPECT_EQ(op::Status(), "ready");
}

} // namespace
} // namespace evok
