// File, text and path service: array files as the parameter and record files use them, their
// failures, and the text and path helpers.
#include "runtime/files.h"
#include "runtime/panel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FileService : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir = fs::path(::testing::TempDir()) /
              ("evok_files_" + std::to_string(::getpid()) + "_" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const char* name) const { return (dir / name).string(); }

    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void write(const std::string& p, const std::string& content) {
        std::ofstream(p, std::ios::binary) << content;
    }
};

// --- text layout -------------------------------------------------------------------------------

struct LayoutCase {
    const char* name;
    int dataType;
    std::vector<std::uint32_t> values; // narrowed to the element type
    int separator, width;
    const char* text;
};

// Test names and messages show the row's name.
void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class FileServiceLayout : public FileService, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(FileServiceLayout, WritesOneNumberPerLineAndReadsItBack) {
    const LayoutCase& c = GetParam();
    const std::string file = path("layout.txt");
    std::vector<std::uint16_t> u16(c.values.begin(), c.values.end());
    const void* data = c.dataType == kTypeUShort ? static_cast<const void*>(u16.data())
                                                 : static_cast<const void*>(c.values.data());
    const int n = static_cast<int>(c.values.size());
    ASSERT_EQ(ArrayToFile(file.c_str(), data, c.dataType, n, 1, 0, 0, c.separator, c.width, 1, 0),
              0);
    EXPECT_EQ(read(file), c.text);

    std::vector<std::uint32_t> back32(c.values.size(), 7);
    std::vector<std::uint16_t> back16(c.values.size(), 7);
    void* into = c.dataType == kTypeUShort ? static_cast<void*>(back16.data())
                                           : static_cast<void*>(back32.data());
    ASSERT_EQ(FileToArray(file.c_str(), into, c.dataType, n, 1, 0, 0, 1), 0);
    if (c.dataType == kTypeUShort)
        EXPECT_EQ(back16, u16);
    else
        EXPECT_EQ(back32, c.values);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileServiceLayout,
    ::testing::Values(LayoutCase{"UnsignedStaysUnsignedBare",
                                 kTypeUInt,
                                 {65535, 4294967295u, 0},
                                 2,
                                 4,
                                 "65535\n4294967295\n0\n"},
                      LayoutCase{"ParameterFieldWidthFive",
                                 kTypeUInt,
                                 {0, 1200, 65535, 7},
                                 0,
                                 5,
                                 "    0\n 1200\n65535\n    7\n"},
                      LayoutCase{
                          "WiderNumberIsNotCut", kTypeUInt, {4294967295u}, 0, 5, "4294967295\n"},
                      LayoutCase{"UShortBare", kTypeUShort, {65535, 0, 85}, 2, 0, "65535\n0\n85\n"},
                      LayoutCase{"UShortWidth", kTypeUShort, {65535, 3}, 0, 6, " 65535\n     3\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileService, ParameterFileOf32NumbersRoundTrips) {
    std::array<std::uint32_t, 32> saved{};
    for (std::size_t i = 0; i < saved.size(); ++i)
        saved[i] = static_cast<std::uint32_t>(i * 2047);
    saved[1] = 65535;
    saved[16] = 1;
    const std::string file = path("VX12para.cfg");
    ASSERT_EQ(ArrayToFile(file.c_str(), saved.data(), kTypeUInt, 32, 1, 0, 0, 0, 5, 1, 0), 0);
    const std::string text = read(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 32);
    EXPECT_EQ(text.size(), 32u * 6u) << "every line is five characters wide";
    std::array<std::uint32_t, 32> loaded{};
    ASSERT_EQ(FileToArray(file.c_str(), loaded.data(), kTypeUInt, 32, 1, 0, 0, 1), 0);
    EXPECT_EQ(loaded, saved);
}

TEST_F(FileService, DoublesAndCharactersRoundTripAsTextAndRaw) {
    const std::vector<double> d = {-1.5, 1e-300, 3.141592653589793, 0.1, 12345678.0};
    const std::string chars = "AZ\x01\xff";
    for (int fileType : {0, 1}) {
        const std::string f1 = path("d.txt"), f2 = path("c.txt");
        ASSERT_EQ(ArrayToFile(f1.c_str(), d.data(), kTypeDouble, 5, 1, 0, 0, 2, 0, fileType, 0), 0);
        std::vector<double> dBack(5, 0);
        ASSERT_EQ(FileToArray(f1.c_str(), dBack.data(), kTypeDouble, 5, 1, 0, 0, fileType), 0);
        EXPECT_EQ(dBack, d) << "file type " << fileType;
        ASSERT_EQ(ArrayToFile(f2.c_str(), chars.data(), kTypeChar, 4, 1, 0, 0, 2, 0, fileType, 0),
                  0);
        std::string cBack(4, '?');
        ASSERT_EQ(FileToArray(f2.c_str(), cBack.data(), kTypeChar, 4, 1, 0, 0, fileType), 0);
        EXPECT_EQ(cBack, chars) << "file type " << fileType;
        EXPECT_EQ(read(f2), fileType == 0 ? chars : std::string("65\n90\n1\n255\n"));
    }
}

TEST_F(FileService, RecordFileIsHeaderThenIndexOnTheSameLineThenValues) {
    const std::string file = path("EVokRecord.dat");
    const char header[] = "E-VOK-VX12-RING-BUFFER-FILE: Actual index: ";
    std::array<std::uint32_t, 256> words{};
    for (std::size_t i = 0; i < 255; ++i)
        words[i] = static_cast<std::uint32_t>(i * 257);
    words[255] = 65535;
    for (int store = 0; store < 2; ++store) { // a second store gives the same file
        RemoveFile(file.c_str());
        ASSERT_EQ(ArrayToFile(file.c_str(), header, kTypeChar, 43, 1, 0, 0, 2, 4, 0, 1), 0);
        ASSERT_EQ(ArrayToFile(file.c_str(), &words[255], kTypeUInt, 1, 1, 0, 0, 2, 4, 1, 1), 0);
        ASSERT_EQ(ArrayToFile(file.c_str(), words.data(), kTypeUInt, 255, 1, 0, 0, 2, 4, 1, 1), 0);
    }
    std::istringstream lines(read(file));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, std::string(header) + "65535");
    for (std::size_t i = 0; i < 255; ++i) {
        ASSERT_TRUE(std::getline(lines, line)) << "value " << i;
        EXPECT_EQ(line, std::to_string(i * 257));
    }
    EXPECT_FALSE(std::getline(lines, line)) << "nothing behind the 255 values";
}

TEST_F(FileService, ReplaceTruncatesAndAppendAdds) {
    const std::string file = path("a.txt");
    const std::uint32_t a[] = {1, 2}, b[] = {3}, c[] = {4};
    ASSERT_EQ(ArrayToFile(file.c_str(), a, kTypeUInt, 2, 1, 0, 0, 2, 0, 1, 0), 0);
    ASSERT_EQ(ArrayToFile(file.c_str(), b, kTypeUInt, 1, 1, 0, 0, 2, 0, 1, 1), 0);
    EXPECT_EQ(read(file), "1\n2\n3\n");
    ASSERT_EQ(ArrayToFile(file.c_str(), c, kTypeUInt, 1, 1, 0, 0, 2, 0, 1, 0), 0);
    EXPECT_EQ(read(file), "4\n");
}

// --- reading failures --------------------------------------------------------------------------

struct ReadCase {
    const char* name;
    int dataType;
    const char* content; // null: no file
    int expected;
};

// Test names and messages show the row's name.
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class FileServiceRead : public FileService, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(FileServiceRead, ReadsAllOrLeavesTheArrayUntouched) {
    const ReadCase& c = GetParam();
    const std::string file = path("in.txt");
    if (c.content) write(file, c.content);
    std::array<std::uint32_t, 5> u32;
    u32.fill(0xA5A5A5A5u);
    std::array<std::uint16_t, 5> u16;
    u16.fill(0xA5A5);
    void* into =
        c.dataType == kTypeUShort ? static_cast<void*>(u16.data()) : static_cast<void*>(u32.data());
    EXPECT_EQ(FileToArray(file.c_str(), into, c.dataType, 5, 1, 0, 0, 1), c.expected);
    if (c.expected != 0) {
        for (auto v : u32)
            EXPECT_EQ(v, 0xA5A5A5A5u);
        for (auto v : u16)
            EXPECT_EQ(v, 0xA5A5);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileServiceRead,
    ::testing::Values(ReadCase{"AnyWhiteSpaceSeparates", kTypeUInt, "1\t2\r\n 3  4\n\n5", 0},
                      ReadCase{"MoreNumbersThanAskedAreFine", kTypeUInt, "1 2 3 4 5 6 x", 0},
                      ReadCase{"AboveSixteenBitsAsUInt", kTypeUInt, "70000 0 0 0 0", 0},
                      ReadCase{"TooFewNumbers", kTypeUInt, "1 2 3", kFileErrFormat},
                      ReadCase{"EmptyFile", kTypeUInt, "", kFileErrFormat},
                      ReadCase{"Garbage", kTypeUInt, "1 2 x 4 5", kFileErrFormat},
                      ReadCase{"NumberWithTrailingText", kTypeUInt, "1 2 3abc 4 5", kFileErrFormat},
                      ReadCase{"NegativeForUnsigned", kTypeUInt, "1 2 -3 4 5", kFileErrFormat},
                      ReadCase{"Above32Bits", kTypeUInt, "1 2 4294967296 4 5", kFileErrFormat},
                      ReadCase{"AboveSixteenBitsAsUShort", kTypeUShort, "1 70000 3 4 5",
                               kFileErrFormat},
                      ReadCase{"MissingFile", kTypeUInt, nullptr, kFileErrOpen}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileService, RawReadOfAShortFileLeavesTheArrayUntouched) {
    const std::string file = path("raw.bin");
    write(file, "abc");
    char buf[6] = "zzzzz";
    EXPECT_EQ(FileToArray(file.c_str(), buf, kTypeChar, 5, 1, 0, 0, 0), kFileErrFormat);
    EXPECT_STREQ(buf, "zzzzz");
}

// --- writing failures --------------------------------------------------------------------------

TEST_F(FileService, WritesThatCannotHappenAreReported) {
    const std::uint32_t v[] = {1, 2, 3};
    struct Row {
        std::string file;
        int expected;
    };
    const Row rows[] = {
        {path("no-such-dir/x.txt"), kFileErrOpen},
        {"/proc/self/evok-not-writable.txt", kFileErrOpen}, // a directory nobody may write
        {dir.string(), kFileErrOpen},                       // a directory, not a file
        {"/dev/full", kFileErrIo},                          // disk full, seen at flush
    };
    for (const Row& row : rows)
        for (int action : {0, 1})
            EXPECT_EQ(ArrayToFile(row.file.c_str(), v, kTypeUInt, 3, 1, 0, 0, 0, 5, 1, action),
                      row.expected)
                << row.file << " action " << action;
    EXPECT_TRUE(fs::is_directory(dir));
}

TEST_F(FileService, UnsupportedArgumentsAreRefused) {
    const std::uint32_t v[] = {1};
    const std::string file = path("arg.txt");
    EXPECT_EQ(ArrayToFile(file.c_str(), v, 5, 1, 1, 0, 0, 0, 5, 1, 0), kFileErrArgument);
    EXPECT_EQ(ArrayToFile(file.c_str(), v, kTypeUInt, 1, 2, 0, 0, 0, 5, 1, 0), kFileErrArgument);
    EXPECT_EQ(ArrayToFile(file.c_str(), v, kTypeUInt, 1, 1, 0, 0, 0, 5, 2, 0), kFileErrArgument);
    EXPECT_EQ(ArrayToFile(file.c_str(), v, kTypeUInt, 1, 1, 0, 0, 0, 5, 1, 2), kFileErrArgument);
    EXPECT_EQ(ArrayToFile(file.c_str(), v, kTypeUInt, -1, 1, 0, 0, 0, 5, 1, 0), kFileErrArgument);
    EXPECT_FALSE(fs::exists(file));
}

// --- removing and renaming ---------------------------------------------------------------------

TEST_F(FileService, RemoveFileDeletesFilesOnlyAndHarmsNothingElse) {
    const std::string keep = path("keep.txt"), gone = path("gone.txt");
    write(keep, "keep");
    write(gone, "gone");
    EXPECT_EQ(RemoveFile(gone.c_str()), 0);
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_EQ(RemoveFile(gone.c_str()), kFileErrOpen);
    const std::string sub = path("sub");
    fs::create_directory(sub);
    EXPECT_LT(RemoveFile(sub.c_str()), 0);
    EXPECT_TRUE(fs::is_directory(sub));
    EXPECT_EQ(read(keep), "keep");
}

TEST_F(FileService, RenameFileReplacesTheTargetAndFailsCleanly) {
    const std::string a = path("a.cfg"), b = path("b.cfg");
    write(a, "new");
    write(b, "old");
    EXPECT_EQ(RenameFile(a.c_str(), b.c_str()), 0);
    EXPECT_EQ(read(b), "new");
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(RenameFile(a.c_str(), b.c_str()), kFileErrOpen);
    EXPECT_EQ(read(b), "new");
}

// --- text and paths ----------------------------------------------------------------------------

struct FmtCase {
    const char* name;
    std::vector<int> words; // padded with zeros to 32
    std::size_t targetSize;
    const char* expected;
};

// Test names and messages show the row's name.
void PrintTo(const FmtCase& c, std::ostream* os) {
    *os << c.name;
}

class VersionFormat : public ::testing::TestWithParam<FmtCase> {};

TEST_P(VersionFormat, KeepsLowBytesUpToTheFirstZeroWithinTheTarget) {
    const FmtCase& c = GetParam();
    std::array<int, 32> source{};
    std::copy(c.words.begin(), c.words.end(), source.begin());
    std::array<char, 80> target;
    target.fill('#');
    const int n = Fmt(target.data(), c.targetSize, "%64c<%32i", source.data());
    EXPECT_EQ(n, static_cast<int>(std::strlen(c.expected)));
    EXPECT_STREQ(target.data(), c.expected);
    for (std::size_t i = c.targetSize; i < target.size(); ++i)
        ASSERT_EQ(target[i], '#') << "written past the target at " << i;
}

std::vector<int> thirtyTwoLetters() {
    std::vector<int> w;
    for (int i = 0; i < 32; ++i)
        w.push_back(0x0100 | ('a' + i % 26));
    return w;
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionFormat,
    ::testing::Values(FmtCase{"AB", {0x41, 0x42, 0}, 64, "AB"},
                      FmtCase{"OnlyTheLowByte", {0x4142, 0x4344, 0}, 64, "BD"},
                      FmtCase{"NegativeWord", {static_cast<int>(0xFFFFFF41u), 0}, 64, "A"},
                      FmtCase{"ThirtyTwoWithoutZero", thirtyTwoLetters(), 64,
                              "abcdefghijklmnopqrstuvwxyzabcdef"},
                      FmtCase{"CutToASmallTarget", thirtyTwoLetters(), 5, "abcd"},
                      FmtCase{"EmptyText", {0, 0x41}, 64, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Fmt, OtherFormatsAndNoRoomAreRefused) {
    const int source[32] = {0x41};
    char target[8] = "xxxxxxx";
    EXPECT_EQ(Fmt(target, sizeof target, "%s", source), kFileErrArgument);
    EXPECT_EQ(Fmt(target, 0, "%64c<%32i", source), kFileErrTooLong);
    EXPECT_STREQ(target, "xxxxxxx");
}

TEST(StringLength, CountsUpToTheTerminator) {
    EXPECT_EQ(StringLength(""), 0);
    EXPECT_EQ(StringLength("VX12para.cfg"), 12);
    EXPECT_EQ(StringLength(nullptr), kFileErrArgument);
}

TEST(MakePathname, JoinsOrRefusesWithoutTouchingTheBuffer) {
    char path[20];
    EXPECT_EQ(MakePathname("/opt/evok", "a.cfg", path, sizeof path), 0);
    EXPECT_STREQ(path, "/opt/evok/a.cfg");
    EXPECT_EQ(MakePathname("/opt/evok/", "a.cfg", path, sizeof path), 0);
    EXPECT_STREQ(path, "/opt/evok/a.cfg");
    // 19 characters and the terminator fit exactly; one more does not.
    EXPECT_EQ(MakePathname("/opt/evok", "abcdefghi", path, sizeof path), 0);
    EXPECT_STREQ(path, "/opt/evok/abcdefghi");
    std::memcpy(path, "untouched", 10);
    EXPECT_EQ(MakePathname("/opt/evok", "abcdefghij", path, sizeof path), kFileErrTooLong);
    EXPECT_STREQ(path, "untouched");
}

TEST(GetProjectDir, IsTheProgramsDirectory) {
    char dir[kPathMax];
    ASSERT_EQ(GetProjectDir(dir, sizeof dir), 0);
    const fs::path self = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(fs::path(dir), self.parent_path());
    EXPECT_NE(dir[std::strlen(dir) - 1], '/');
    char small[4] = "abc";
    EXPECT_EQ(GetProjectDir(small, sizeof small), kFileErrTooLong);
    EXPECT_STREQ(small, "abc");
}

} // namespace
