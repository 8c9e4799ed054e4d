// The file dialog through its seam: queued answers stand in for the operator; without one, a
// headless run is refused at once instead of hanging on a modal dialog.
#include "runtime/files.h"
#include "runtime/testing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {

struct Answer {
    const char* what;
    int result;
    std::string path;
    std::size_t pathSize;
    int expected;
    std::string pathAfter;
};

void PrintTo(const Answer& a, std::ostream* os) {
    *os << a.what;
}

class FileSelectSeam : public ::testing::TestWithParam<Answer> {};

TEST_P(FileSelectSeam, ReturnsTheQueuedAnswer) {
    const Answer& a = GetParam();
    ASSERT_EQ(PendingFileSelectAnswers(), 0);
    QueueFileSelectAnswer(a.result, a.path);
    char path[300];
    std::strcpy(path, "untouched");
    EXPECT_EQ(FileSelectPopup("/proj", "EVOKrecord.dat", "*.dat", "E-VOK-Series Recorder-File:", 0,
                              0, 1, 1, 1, path, a.pathSize),
              a.expected);
    EXPECT_EQ(path, a.pathAfter);
    EXPECT_EQ(PendingFileSelectAnswers(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileSelectSeam,
    ::testing::Values(
        Answer{"existing_file", 1, "/proj/old.dat", 260, 1, "/proj/old.dat"},
        Answer{"new_name", 2, "/proj/new.dat", 260, 2, "/proj/new.dat"},
        Answer{"cancelled", 0, "/proj/ignored.dat", 260, 0, "untouched"},
        Answer{"path_just_fits", 2, std::string(259, 'a'), 260, 2, std::string(259, 'a')},
        Answer{"path_too_long", 1, std::string(260, 'a'), 260, kFileErrTooLong, "untouched"},
        Answer{"dialog_failure", kFileErrDialog, "", 260, kFileErrDialog, "untouched"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(FileSelect, WithoutAnAnswerAHeadlessRunIsRefusedAtOnce) {
    char path[260] = "untouched";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FileSelectPopup("/proj", "VX12para.cfg", "*.cfg", "Parameter file", 3, 0, 1, 1, 1,
                              path, sizeof path),
              kFileErrDialog);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_STREQ(path, "untouched");
}

TEST(FileSelect, AnswersAreUsedInOrderAndEveryCallIsRecorded) {
    const int callsBefore = FileSelectCallCount();
    QueueFileSelectAnswer(2, "/a.dat");
    QueueFileSelectAnswer(1, "/b.dat");
    EXPECT_EQ(PendingFileSelectAnswers(), 2);
    char path[64];
    EXPECT_EQ(FileSelectPopup("/d1", "n1", "*.dat", "t1", 1, 0, 1, 1, 1, path, sizeof path), 2);
    EXPECT_STREQ(path, "/a.dat");
    EXPECT_EQ(FileSelectPopup("/d2", "n2", "*.cfg", "t2", 3, 1, 0, 0, 0, path, sizeof path), 1);
    EXPECT_STREQ(path, "/b.dat");
    EXPECT_EQ(FileSelectCallCount(), callsBefore + 2);
    const FileSelectCall& last = LastFileSelectCall();
    EXPECT_EQ(last.directory, "/d2");
    EXPECT_EQ(last.fileName, "n2");
    EXPECT_EQ(last.filter, "*.cfg");
    EXPECT_EQ(last.title, "t2");
    EXPECT_EQ(last.buttonLabel, 3);
    EXPECT_EQ(last.restrictDirectory, 1);
    EXPECT_EQ(last.restrictExtension, 0);
    EXPECT_EQ(last.allowCancel, 0);
    EXPECT_EQ(last.allowMakeDirectory, 0);
    EXPECT_EQ(PendingFileSelectAnswers(), 0);
}

TEST(FileSelect, BadArgumentsAreRefused) {
    char path[64] = "untouched";
    EXPECT_EQ(FileSelectPopup("/d", "n", "*.dat", "t", 7, 0, 1, 1, 1, path, sizeof path),
              kFileErrArgument);
    EXPECT_EQ(FileSelectPopup("/d", "n", "*.dat", "t", 0, 0, 1, 1, 1, nullptr, 64),
              kFileErrArgument);
    EXPECT_STREQ(path, "untouched");
}

} // namespace
