// Array files as the parameter and record files use them, and their failures.
#include "runtime/files.h"
#include "runtime/panel.h"
#include "tests/support/support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using U32s = std::vector<std::uint32_t>;

namespace {

// Unsigned 32-bit values as decimal text, one per line (separator 0 pads to width, 2 is bare).
int writeText(const std::string& file, const U32s& v, int separator, int width, int action) {
    return ArrayToFile(file.c_str(), v.data(), kTypeUInt, static_cast<int>(v.size()), 1, 0, 0,
                       separator, width, 1, action);
}

// Each test works in a fresh directory.
class FileService : public ::testing::Test {
protected:
    const fs::path dir = fs::path(::testing::TempDir()) / ("evok_files" + std::to_string(getpid()));
    const std::string file = (dir / "values.txt").string();

    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(FileService, UnsignedValuesRoundTripAsDecimalText) {
    const std::tuple<U32s, int, int, const char*> rows[] = {
        {{65535, 4294967295u, 0}, 2, 4, "65535\n4294967295\n0\n"},
        {{0, 1200, 65535, 7}, 0, 5, "    0\n 1200\n65535\n    7\n"}, // the parameter file
        {{4294967295u}, 0, 5, "4294967295\n"},
    };
    for (const auto& [values, separator, width, text] : rows) {
        ASSERT_EQ(writeText(file, values, separator, width, 0), 0);
        EXPECT_EQ(op::FileBytes(file), text);
        U32s back(values.size(), 7);
        ASSERT_EQ(FileToArray(file.c_str(), back.data(), kTypeUInt, int(back.size()), 1, 0, 0, 1),
                  0);
        EXPECT_EQ(back, values);
    }
}

// The record store: a raw header text, the index on the same line and the values are appended
// to a fresh file beside the record, which then replaces it. Replacing a file truncates it.
TEST_F(FileService, RecordIsAppendedPiecewiseAndReplacesTheOldOne) {
    const std::string part = file + ".part";
    const char header[] = "E-VOK-VX12-RING-BUFFER-FILE: Actual index: ";
    for (int store = 0; store < 2; ++store) {
        ASSERT_EQ(ArrayToFile(part.c_str(), header, kTypeChar, 43, 1, 0, 0, 2, 4, 0, 1), 0);
        ASSERT_EQ(writeText(part, {65535}, 2, 4, 1), 0);
        ASSERT_EQ((writeText(part, {0, 257, 4294967295u}, 2, 4, 1)), 0);
        ASSERT_EQ(RenameFile(part.c_str(), file.c_str()), 0);
    }
    EXPECT_EQ(op::FileBytes(file), std::string(header) + "65535\n0\n257\n4294967295\n");
    ASSERT_EQ(writeText(file, {65535}, 2, 4, 0), 0);
    EXPECT_EQ(op::FileBytes(file), "65535\n");
}

// A read reads all or leaves the array untouched. Rows: content (null: no file), result.
TEST_F(FileService, ReadsAllOrLeavesTheArrayUntouched) {
    const std::tuple<const char*, int> rows[] = {
        {"1\t2\r\n 3  4\n\n5", 0},      {"1 2 3", kFileErrFormat},
        {"1 2 x 4 5", kFileErrFormat},  {"1 2 3abc 4 5", kFileErrFormat},
        {"1 2 -3 4 5", kFileErrFormat}, {"1 2 4294967296 4 5", kFileErrFormat},
        {nullptr, kFileErrOpen},
    };
    for (const auto& [content, expected] : rows) {
        SCOPED_TRACE(content ? content : "missing file");
        fs::remove(file);
        if (content) std::ofstream(file) << content;
        U32s a(5, 7);
        EXPECT_EQ(FileToArray(file.c_str(), a.data(), kTypeUInt, 5, 1, 0, 0, 1), expected);
        EXPECT_EQ(a, (expected ? U32s(5, 7) : U32s{1, 2, 3, 4, 5}));
    }
}

// Writes that cannot happen are reported, replacing or appending; removing a missing file or
// a directory fails and harms nothing.
TEST_F(FileService, FailuresAreReportedAndHarmNothing) {
    const std::tuple<std::string, int> rows[] = {
        {(dir / "no-such-dir/x.txt").string(), kFileErrOpen},
        {"/proc/self/evok-not-writable.txt", kFileErrOpen}, // even root may not write there
        {dir.string(), kFileErrOpen},
        {"/dev/full", kFileErrIo}, // disk full, seen at flush
    };
    for (const auto& [target, expected] : rows)
        for (int action : {0, 1})
            EXPECT_EQ((writeText(target, {1, 2, 3}, 0, 5, action)), expected) << target << action;
    std::ofstream(file) << "keep";
    EXPECT_EQ(RemoveFile((dir / "missing.txt").c_str()), kFileErrOpen);
    EXPECT_LT(RemoveFile(dir.c_str()), 0);
    EXPECT_EQ(op::FileBytes(file), "keep");
}

} // namespace
