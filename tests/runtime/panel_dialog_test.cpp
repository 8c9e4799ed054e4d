// The file dialog through its seam: queued answers stand in for the operator; without one, a
// headless run is refused at once instead of hanging on a modal dialog.
#include "runtime/files.h"
#include "runtime/testing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>

namespace {

TEST(FileSelect, AnswersInOrderRecordedCallsAndNoHangWithoutAnAnswer) {
    // The queued answer (-1: none), the result and the path the caller gets.
    const std::tuple<int, std::string, int, std::string> rows[] = {
        {1, "/proj/old.dat", 1, "/proj/old.dat"},                 // an existing file
        {2, "/proj/new.dat", 2, "/proj/new.dat"},                 // a new name
        {0, "/proj/ignored.dat", 0, "untouched"},                 // cancelled
        {1, std::string(260, 'a'), kFileErrTooLong, "untouched"}, // does not fit
        {-1, "", kFileErrDialog, "untouched"}};                   // refused at once, no hang
    for (const auto& [answer, chosen, result, pathAfter] : rows)
        if (answer >= 0) QueueFileSelectAnswer(answer, chosen);
    const int calls = FileSelectCallCount();
    for (const auto& [answer, chosen, result, pathAfter] : rows) {
        char path[260] = "untouched";
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FileSelectPopup("/proj", "VX12para.cfg", "*.cfg", "Parameter file", 3, 1, 0, 0, 0,
                                  path, sizeof path),
                  result);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(path, pathAfter);
    }
    EXPECT_EQ(FileSelectCallCount(), calls + 5);
    const FileSelectCall& last = LastFileSelectCall();
    EXPECT_EQ(last.directory + "|" + last.fileName + "|" + last.filter + "|" + last.title,
              "/proj|VX12para.cfg|*.cfg|Parameter file");
    EXPECT_EQ(std::vector<int>({last.buttonLabel, last.restrictDirectory, last.restrictExtension,
                                last.allowCancel, last.allowMakeDirectory}),
              std::vector<int>({3, 1, 0, 0, 0}));
}

} // namespace
